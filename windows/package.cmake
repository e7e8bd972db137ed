# Run at build time with cmake -P: installs the program into a fresh folder under WORK and packs
# that folder into the NSIS installer SETUP and the zip ZIP, dated EPOCH where it is given. The
# installer's file lists are written from the folder itself, so that the uninstaller removes
# exactly what was installed.
foreach(variable BUILD WORK STRIP NSI SETUP ZIP PRODUCT PUBLISHER VERSION)
    if("${${variable}}" STREQUAL "")
        message(FATAL_ERROR "package.cmake needs -D${variable}=...")
    endif()
endforeach()

# Stripping stamps each program and library with the time, or with SOURCE_DATE_EPOCH.
if(EPOCH)
    set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
endif()

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
# The installer and the zip keep each file's date: the commit's.
if(EPOCH)
    execute_process(COMMAND touch -d @${EPOCH} ${files} WORKING_DIRECTORY ${root}
                    COMMAND_ERROR_IS_FATAL ANY)
endif()

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
# The files in a fixed order, and no more of them than their names, sizes, contents and dates,
# so that the same commit packs the same zip.
file(REMOVE ${ZIP})
list(TRANSFORM files PREPEND ${folder}/)
list(JOIN files "\n" listed)
file(WRITE ${WORK}/zip_files.txt "${listed}\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q ${ZIP} -@
                INPUT_FILE ${WORK}/zip_files.txt WORKING_DIRECTORY ${WORK}
                COMMAND_ERROR_IS_FATAL ANY)
