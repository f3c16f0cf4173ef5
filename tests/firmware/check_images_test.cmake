# Runs check_images.cmake on folders with one fault each and expects a refusal that names
# the image and the fault. Inputs: CHECKER, MAKE_IMAGE (the image generator), WORK_DIR.

set(ids 142 133 129 139 136)
set(failures 0)

function(fail text)
    message(SEND_ERROR "${text}")
endfunction()

function(make_image id path)
    execute_process(COMMAND ${MAKE_IMAGE} ${id} ${path} ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "make_image ${id} ${ARGN} failed: ${rc}")
    endif()
endfunction()

function(run_checker folder out_rc out_text)
    execute_process(COMMAND ${CMAKE_COMMAND} -DPXR9_FIRMWARE_DIR=${folder} -P ${CHECKER}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    set(${out_rc} ${rc} PARENT_SCOPE)
    set(${out_text} "${out}${err}" PARENT_SCOPE)
endfunction()

# A case folder: links to the good images, to be spoilt by the case.
function(case_folder name out_dir)
    set(dir ${WORK_DIR}/${name})
    file(REMOVE_RECURSE ${dir})
    file(MAKE_DIRECTORY ${dir})
    foreach(id IN LISTS ids)
        file(CREATE_LINK ${WORK_DIR}/good/${id}.bin ${dir}/${id}.bin SYMBOLIC COPY_ON_ERROR)
    endforeach()
    set(${out_dir} ${dir} PARENT_SCOPE)
endfunction()

# Every entry of `expected` (regular expressions) must appear in the refusal.
function(expect_refusal name folder)
    run_checker(${folder} rc text)
    if(rc EQUAL 0)
        fail("${name}: accepted, must be refused")
        return()
    endif()
    foreach(pattern IN LISTS ARGN)
        if(NOT text MATCHES "${pattern}")
            fail("${name}: refusal does not match '${pattern}':\n${text}")
        endif()
    endforeach()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/good)
foreach(id IN LISTS ids)
    make_image(${id} ${WORK_DIR}/good/${id}.bin)
endforeach()

# Without this the refusals below would prove nothing.
run_checker(${WORK_DIR}/good rc text)
if(NOT rc EQUAL 0)
    fail("good images refused:\n${text}")
endif()

# Other versions of the right form are fine: only the form is checked.
case_folder(other_versions dir)
file(REMOVE ${dir}/142.bin ${dir}/139.bin)
make_image(142 ${dir}/142.bin 0.99)
make_image(139 ${dir}/139.bin 9.09)
run_checker(${dir} rc text)
if(NOT rc EQUAL 0)
    fail("images with other valid stamps refused:\n${text}")
endif()

case_folder(missing dir)
file(REMOVE ${dir}/129.bin)
expect_refusal(missing ${dir} "129\\.bin: missing")

case_folder(empty dir)
file(REMOVE ${dir}/142.bin)
file(TOUCH ${dir}/142.bin)
expect_refusal(empty ${dir} "142\\.bin: size is 0 bytes, must be 307200")

# A swapped image: right stamp place maybe, wrong size.
case_folder(swapped dir)
file(REMOVE ${dir}/136.bin)
file(COPY_FILE ${WORK_DIR}/good/139.bin ${dir}/136.bin)
expect_refusal(swapped ${dir} "136\\.bin: size is 4096 bytes, must be 14897152")

case_folder(directory_named_like_image dir)
file(REMOVE ${dir}/133.bin)
file(MAKE_DIRECTORY ${dir}/133.bin)
expect_refusal(directory_named_like_image ${dir} "133\\.bin: missing")

# Bad stamps, one per stamped image and one per position of the form.
foreach(case "142:1,00" "133:A.00" "139:1.1x" "142:10.0" "133:    ")
    string(REPLACE ":" ";" fields "${case}")
    list(GET fields 0 id)
    list(GET fields 1 stamp)
    string(MAKE_C_IDENTIFIER "stamp_${id}_${stamp}" name)
    case_folder(${name} dir)
    file(REMOVE ${dir}/${id}.bin)
    make_image(${id} ${dir}/${id}.bin "${stamp}")
    expect_refusal(${name} ${dir} "${id}\\.bin: stamp at offset 0x[0-9A-F]+ is bytes [0-9A-F ]+ \\(hex\\)")
endforeach()

# Every fault is named in one refusal, not only the first.
case_folder(several dir)
file(REMOVE ${dir}/142.bin ${dir}/139.bin)
make_image(139 ${dir}/139.bin "x.10")
expect_refusal(several ${dir} "142\\.bin: missing" "139\\.bin: stamp at offset 0xFE0")

expect_refusal(no_folder ${WORK_DIR}/does_not_exist "does_not_exist: no such folder")

# The generator refuses what it cannot make.
foreach(args "7;${WORK_DIR}/x.bin" "129;${WORK_DIR}/x.bin;1.00" "142;${WORK_DIR}/x.bin;1.000"
             "14x;${WORK_DIR}/x.bin" "-142;${WORK_DIR}/x.bin" "4294967438;${WORK_DIR}/x.bin" "142")
    execute_process(COMMAND ${MAKE_IMAGE} ${args} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(rc EQUAL 0)
        fail("make_image ${args}: succeeded, must fail")
    endif()
endforeach()
if(EXISTS ${WORK_DIR}/x.bin)
    fail("make_image left a file behind after refusing")
endif()
