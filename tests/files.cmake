# The identifier and size-formatting suites load the English catalogue built in translations/.
foreach(suite tst_logicalids tst_utilsfiles)
    if(TARGET ${suite} AND TARGET translations)
        add_dependencies(${suite} translations)
        target_compile_definitions(${suite} PRIVATE ZAVEK_TRANSLATIONS_DIR="${ZAVEK_TRANSLATIONS_DIR}")
    endif()
endforeach()
