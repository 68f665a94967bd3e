# wixl writes the summary's Template as "<platform>;1033" whatever the package's language. Sets its
# language to LANGUAGE, the Property table's ProductLanguage, and keeps the rest of the summary.
#   cmake -DMSI=<msi> -DLANGUAGE=1041 -P msi-template.cmake
execute_process(COMMAND msiinfo suminfo "${MSI}" OUTPUT_VARIABLE summary RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "${MSI}: no summary")
endif()
set(values)
foreach(field "Subject: ([^\n]*)" "Author: ([^\n]*)" "Template: ([^;\n]*);" "Revision number \\(UUID\\): ([^\n]*)")
  if(NOT summary MATCHES "\n${field}")
    message(FATAL_ERROR "${MSI}: the summary has no ${field}")
  endif()
  list(APPEND values "${CMAKE_MATCH_1}")
endforeach()
list(GET values 0 subject)
list(GET values 1 author)
list(GET values 2 platform)
list(GET values 3 package_code)
execute_process(COMMAND msibuild "${MSI}" -s "${subject}" "${author}" "${platform};${LANGUAGE}" "${package_code}"
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "${MSI}: summary not rewritten")
endif()
