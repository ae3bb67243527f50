# Generates app/ProgramInfo.h (target zuvex_program_info) and renders the program icon from its SVG
# into the PNG sizes that the window uses (compiled in) and that the desktop installs.

# "Version 1.0" for 1.0.0; a patch level shows only when it is not 0.
set(ZUVEX_VERSION_SHORT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
if(PROJECT_VERSION_PATCH)
    string(APPEND ZUVEX_VERSION_SHORT ".${PROJECT_VERSION_PATCH}")
endif()
string(REPLACE ";" ", " ZUVEX_ICON_SIZES_LIST "${ZUVEX_ICON_SIZES}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/ProgramInfo.h.in
               ${PROJECT_BINARY_DIR}/generated/app/ProgramInfo.h @ONLY)
add_library(zuvex_program_info INTERFACE)
target_include_directories(zuvex_program_info INTERFACE ${PROJECT_BINARY_DIR}/generated)

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_pngs)
foreach(size ${ZUVEX_ICON_SIZES})
    set(png ${ZUVEX_ICON_DIR}/${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZUVEX_ICON_DIR}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ZUVEX_ICON_SVG}
        DEPENDS ${ZUVEX_ICON_SVG}
        COMMENT "Rendering the program icon at ${size} px")
    list(APPEND icon_pngs ${png})
endforeach()
# the icon's PNGs compiled in (target zuvex_program_icon)
add_library(zuvex_program_icon STATIC)
qt_add_resources(zuvex_program_icon program_icon PREFIX /icon BASE ${ZUVEX_ICON_DIR} FILES ${icon_pngs})
target_link_libraries(zuvex_program_icon PRIVATE Qt6::Core)
