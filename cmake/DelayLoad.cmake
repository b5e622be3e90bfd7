# tessaro_delayed_library(NAME DLL FUNCTION:ARGUMENT_BYTES...): an imported library NAME through which the
# functions listed are taken from DLL at their first call rather than when the program starts (the delay-load
# helper of mingw-w64's runtime loads DLL with LoadLibraryA, so the search the program has restricted by then
# applies). Linked before the DLL's own import library: a function missing from the list falls through to it
# and comes back among the program's imports, which scripts/check-exe.py points out. The argument bytes give
# the i686 stdcall names (SHFileOperationW@4).
function(tessaro_delayed_library name dll)
    set(def "LIBRARY ${dll}\nEXPORTS\n")
    foreach(entry ${ARGN})
        string(REPLACE ":" ";" parts ${entry})
        list(GET parts 0 function)
        list(GET parts 1 bytes)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(APPEND def "${function}@${bytes}\n")
        else()
            string(APPEND def "${function}\n")
        endif()
    endforeach()
    set(def_file ${CMAKE_BINARY_DIR}/delayed/${name}.def)
    set(library ${CMAKE_BINARY_DIR}/delayed/lib${name}.a)
    file(CONFIGURE OUTPUT ${def_file} CONTENT "${def}")
    add_custom_command(OUTPUT ${library}
        COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${def_file} --dllname ${dll} --output-delaylib ${library}
        DEPENDS ${def_file}
        VERBATIM)
    add_custom_target(${name}_import DEPENDS ${library})
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${library})
    add_dependencies(${name} ${name}_import)
endfunction()
