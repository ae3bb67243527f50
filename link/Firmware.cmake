# Firmware update and PIN change. The loader's pure parts (file parser, raw port, record
# transfer) form zuvex_firmware, testable without the main window; the two dialogs belong
# to the main window's library.
add_library(zuvex_firmware STATIC
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareTransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RawSerialPort.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegularFile.cpp
)
target_include_directories(zuvex_firmware PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zuvex_firmware PUBLIC zuvex_serial Qt6::Core)

target_sources(zuvex_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/FirmwareDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NeuePINDlg.cpp
)
target_link_libraries(zuvex_app PUBLIC zuvex_firmware)
# the main window's members of the firmware update and the PIN change
target_sources(zuvex_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AppFormFirmware.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AppFormPin.cpp
)
