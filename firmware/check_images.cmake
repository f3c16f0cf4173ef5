# Refuses a folder of firmware images that does not fit the device: every image
# <id>.bin must be there, have its exact size, and carry a stamp of the form digit,
# '.', digit, digit where it has one.
#
# Used by the configure step (include, then call pxr9_check_firmware_images) and on its own:
#   cmake -DPXR9_FIRMWARE_DIR=<folder> -P check_images.cmake
# Must agree with firmware/images.h; the tests run it on the generated images to prove that.

# id:size:stamp offset ("-" where the image carries no stamp)
set(PXR9_FIRMWARE_IMAGES
    "142:307200:307196"
    "133:155648:155644"
    "129:561488:-"
    "139:4096:4064"
    "136:14897152:-"
)

function(pxr9_check_firmware_images folder)
    if(NOT IS_DIRECTORY "${folder}")
        # Indented lines are printed as they are, so the path is never wrapped apart.
        message(FATAL_ERROR "Firmware images cannot be used:\n  ${folder}: no such folder")
    endif()

    set(problems "")
    foreach(entry IN LISTS PXR9_FIRMWARE_IMAGES)
        string(REPLACE ":" ";" fields "${entry}")
        list(GET fields 0 id)
        list(GET fields 1 expected_size)
        list(GET fields 2 stamp_offset)
        set(file "${folder}/${id}.bin")

        if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
            string(APPEND problems "\n  ${file}: missing")
            continue()
        endif()
        file(SIZE "${file}" size)
        if(NOT size EQUAL expected_size)
            string(APPEND problems "\n  ${file}: size is ${size} bytes, must be ${expected_size}")
            continue()
        endif()
        if(stamp_offset STREQUAL "-")
            continue()
        endif()
        # Read as hex: the image is binary, and CMake strings cannot hold every byte.
        file(READ "${file}" stamp OFFSET ${stamp_offset} LIMIT 4 HEX)
        if(NOT stamp MATCHES "^3[0-9]2e3[0-9]3[0-9]$")
            math(EXPR offset_hex "${stamp_offset}" OUTPUT_FORMAT HEXADECIMAL)
            string(SUBSTRING "${offset_hex}" 2 -1 offset_hex)
            string(TOUPPER "${offset_hex}" offset_hex)
            string(TOUPPER "${stamp}" stamp)
            string(REGEX REPLACE "(..)" "\\1 " stamp "${stamp}")
            string(STRIP "${stamp}" stamp)
            string(APPEND problems "\n  ${file}: stamp at offset 0x${offset_hex} is bytes "
                "${stamp} (hex), must be digit '.' digit digit")
        endif()
    endforeach()

    if(problems)
        message(FATAL_ERROR "Firmware images cannot be used:${problems}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT DEFINED PXR9_FIRMWARE_DIR)
        message(FATAL_ERROR "Usage: cmake -DPXR9_FIRMWARE_DIR=<folder> -P check_images.cmake")
    endif()
    pxr9_check_firmware_images("${PXR9_FIRMWARE_DIR}")
endif()
