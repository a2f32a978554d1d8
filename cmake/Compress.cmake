# Installed documentation is compressed the way Debian installs it: gzip -9n, with no name or time
# stamp in the archive, so that the same text always gives the same bytes.
find_program(QV_GZIP gzip REQUIRED)

# Adds the build rule that compresses source into archive (a path in the build tree); a target
# must depend on archive for the rule to run.
function(qv_compress source archive)
    get_filename_component(folder ${archive} DIRECTORY)
    get_filename_component(name ${source} NAME)
    string(REGEX REPLACE "\\.gz$" "" copy ${archive})
    # gzip replaces the copy with the archive; no shell redirect is needed.
    add_custom_command(OUTPUT ${archive}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${QV_GZIP} -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
endfunction()
