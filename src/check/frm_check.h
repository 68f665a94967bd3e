#pragma once
// The progress window of the 送る entry: the check runs on a thread of its own so that the window
// stays responsive; the report opens in the default browser when the check is done.
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win32/form.h"

namespace pelmora::check {

class FrmCheck final : public win32::Form {
 public:
  FrmCheck(std::vector<std::filesystem::path> selected, std::filesystem::path report);
  ~FrmCheck() override;

  // The step the scan has reached, from the scan's thread.
  void Step(std::size_t index, std::size_t total, const std::wstring& name);
  void AddError(const std::string& utf8);

 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  void OnLoad() override;
  void OnCommand(int id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void Finished(int status);

  std::vector<std::filesystem::path> selected_;
  std::filesystem::path report_;
  std::thread worker_;
  std::mutex mutex_;
  std::wstring step_;
  std::size_t index_ = 0, total_ = 0;
  std::string errors_;  // UTF-8, what the scan said about documents it could not read
};

}  // namespace pelmora::check
