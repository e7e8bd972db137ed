# Run at build time with cmake -P: installs the program into a fresh folder under WORK and packs
# that folder into the NSIS installer SETUP and the zip ZIP. The installer's file lists are
# written from the folder itself, so that the uninstaller removes exactly what was installed.
foreach(variable BUILD WORK STRIP NSI SETUP ZIP PRODUCT PUBLISHER VERSION)
    if("${${variable}}" STREQUAL "")
        message(FATAL_ERROR "package.cmake needs -D${variable}=...")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
set(folder nestegg-${VERSION})
set(root ${WORK}/${folder})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${root} --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# --strip strips only what the build made; the Qt and MinGW DLLs come with their symbols.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT files)
foreach(file IN LISTS files)
    execute_process(COMMAND ${STRIP} --strip-unneeded ${root}/${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(install "")
set(uninstall "")
set(subfolders "")
set(into "none")
foreach(file IN LISTS files)
    get_filename_component(subfolder "${file}" DIRECTORY)
    string(REPLACE "/" "\\" windows_file "${file}")
    if(NOT subfolder STREQUAL into)
        set(into "${subfolder}")
        string(REPLACE "/" "\\" windows_subfolder "${subfolder}")
        if(subfolder)
            string(PREPEND windows_subfolder "\\")
            list(APPEND subfolders "${windows_subfolder}")
        endif()
        string(APPEND install "SetOutPath \"$INSTDIR${windows_subfolder}\"\n")
    endif()
    string(APPEND install "File \"${root}/${file}\"\n")
    string(APPEND uninstall "Delete \"$INSTDIR\\${windows_file}\"\n")
endforeach()
list(REMOVE_DUPLICATES subfolders)
list(SORT subfolders ORDER DESCENDING)  # inner folders first
foreach(subfolder IN LISTS subfolders)
    string(APPEND uninstall "RMDir \"$INSTDIR${subfolder}\"\n")
endforeach()
file(WRITE ${WORK}/install.nsh "${install}")
file(WRITE ${WORK}/uninstall.nsh "${uninstall}")

get_filename_component(package ${SETUP} DIRECTORY)
file(MAKE_DIRECTORY ${package})
execute_process(
    COMMAND makensis -V2 -WX -DPRODUCT=${PRODUCT} -DPUBLISHER=${PUBLISHER} -DVERSION=${VERSION}
            -DINSTALL_FILES=${WORK}/install.nsh -DUNINSTALL_FILES=${WORK}/uninstall.nsh
            -DOUTFILE=${SETUP} ${NSI}
    COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${folder}
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
