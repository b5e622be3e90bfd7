# Lays out an installation medium from scratch; run by the build as
#   cmake -DSOURCE=<medium/> -DDEST=<build>/medium -DSETUP=<Setup.exe> -DPACKAGE=<Tessaro-Holter.msi>
#         -DDRIVER=<FTDIDriverInstall.exe> -DSHELL=<Shell.exe> -DFONTS=<folder of the demo fonts>
#         -P LayOutMedium.cmake
# DEST may also be <build>/test-medium; SETUP is copied as Setup.exe whatever its own name (the test build).
# With -DDEMO=OFF the source is a clinic's medium: copied whole and as it is, only SETUP and PACKAGE added.
if(NOT DEFINED DEMO)
    set(DEMO ON)
endif()
set(inputs SOURCE DEST SETUP PACKAGE)
if(DEMO)
    list(APPEND inputs DRIVER SHELL FONTS)
endif()
foreach(input ${inputs})
    if(NOT ${input})
        message(FATAL_ERROR "LayOutMedium.cmake: ${input} is not given")
    endif()
endforeach()
# The whole folder is removed first: nothing left over from an earlier layout or a test may survive.
if(NOT DEST MATCHES "/(test-)?medium$")
    message(FATAL_ERROR "LayOutMedium.cmake: refusing to replace ${DEST}, which is not a medium folder")
endif()

file(REMOVE_RECURSE ${DEST})
if(DEMO)
    file(COPY ${SOURCE}/ DESTINATION ${DEST} PATTERN src EXCLUDE)
    file(COPY ${DRIVER} DESTINATION ${DEST}/FTDIDriverInstall)
    file(COPY ${FONTS}/ DESTINATION ${DEST}/fonts)
    file(GLOB package_files LIST_DIRECTORIES true ${DEST}/backup/*/Files)
    foreach(folder ${package_files})
        file(COPY ${SHELL} DESTINATION ${folder})
    endforeach()
else()
    file(COPY ${SOURCE}/ DESTINATION ${DEST})
endif()
file(COPY_FILE ${SETUP} ${DEST}/Setup.exe)
# Beside Setup.exe, which the package starts from its own folder.
file(COPY_FILE ${PACKAGE} ${DEST}/Tessaro-Holter.msi)

# Copies keep their sources' times; the build judges the layout by the times of its files.
file(GLOB_RECURSE laid_out ${DEST}/*)
file(TOUCH_NOCREATE ${laid_out})

# The updater's settings come read-only on a real medium, and the installer has to cope with that.
if(DEMO)
    file(CHMOD ${DEST}/Updater/Updater.exe.cfg PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
endif()
