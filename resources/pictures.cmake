# Copies the pictures named in the index lists from the Tango icon theme into the build
# tree under stable names (<kind>/<index>.png), then decodes them all into one pack of ready
# pixels, KELDA_PICTURE_PACK, which the core compiles in as ":/pictures.pack".

set(KELDA_TANGO_DIR "/usr/share/icons/Tango" CACHE PATH "Root folder of the Tango icon theme")
set(KELDA_PICTURE_BASE "${CMAKE_CURRENT_BINARY_DIR}/kelda_pictures")
set(KELDA_PICTURE_LISTS "${CMAKE_CURRENT_LIST_DIR}")
set(KELDA_PICTURE_FILES "")
set(KELDA_PICTURE_NAMES "")
set(KELDA_APP_ICON_SIZES 16 22 24 32 48)

# Reads an index list into `out`, one Tango icon (<context>/<name>) per position.
macro(kelda_read_picture_list list_name expected_count out)
    file(STRINGS "${KELDA_PICTURE_LISTS}/${list_name}" ${out} REGEX "^[^#]")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                           "${KELDA_PICTURE_LISTS}/${list_name}")
    list(LENGTH ${out} _kelda_count)
    if(NOT _kelda_count EQUAL ${expected_count})
        message(FATAL_ERROR
                "resources/${list_name} names ${_kelda_count} pictures, ${expected_count} expected")
    endif()
endmacro()

macro(kelda_copy_picture source target)
    if(NOT EXISTS "${source}")
        message(FATAL_ERROR "Picture ${source} is missing: install the Debian package "
                            "tango-icon-theme or set KELDA_TANGO_DIR")
    endif()
    configure_file("${source}" "${KELDA_PICTURE_BASE}/${target}" COPYONLY)
    list(APPEND KELDA_PICTURE_FILES "${KELDA_PICTURE_BASE}/${target}")
    string(REGEX REPLACE "\\.png$" "" _kelda_picture_name "${target}")
    list(APPEND KELDA_PICTURE_NAMES "${_kelda_picture_name}")
endmacro()

# Copies each named picture at `size` to <kind>/<index>.png; "-" copies nothing.
macro(kelda_copy_picture_list list_name expected_count size kind)
    kelda_read_picture_list(${list_name} ${expected_count} _kelda_names)
    set(_kelda_index 0)
    foreach(_kelda_name IN LISTS _kelda_names)
        if(NOT _kelda_name STREQUAL "-")
            kelda_copy_picture("${KELDA_TANGO_DIR}/${size}x${size}/${_kelda_name}.png"
                               "${kind}/${_kelda_index}.png")
        endif()
        math(EXPR _kelda_index "${_kelda_index} + 1")
    endforeach()
endmacro()

kelda_copy_picture_list(categories.txt 45 32 category)
kelda_copy_picture_list(filetypes.txt 4 32 filetype)
kelda_copy_picture_list(actions.txt 11 32 action32)
kelda_copy_picture_list(actions.txt 11 16 action16)

# The application icon at every size the theme has.
kelda_read_picture_list(app.txt 1 _kelda_app_name)
set(_kelda_app_sizes "")
foreach(_kelda_size IN LISTS KELDA_APP_ICON_SIZES)
    set(_kelda_source "${KELDA_TANGO_DIR}/${_kelda_size}x${_kelda_size}/${_kelda_app_name}.png")
    if(EXISTS "${_kelda_source}")
        kelda_copy_picture("${_kelda_source}" "app/${_kelda_size}.png")
        list(APPEND _kelda_app_sizes ${_kelda_size})
    endif()
endforeach()
if(NOT _kelda_app_sizes)
    message(FATAL_ERROR "The application icon ${_kelda_app_name} is missing in ${KELDA_TANGO_DIR}")
endif()

# The pack, decoded once here instead of at every start. Leak checking is off for the tool:
# in sanitizer builds it would otherwise judge Qt's own start-up allocations.
add_executable(kelda_pack_pictures "${KELDA_PICTURE_LISTS}/packpictures.cpp")
target_link_libraries(kelda_pack_pictures PRIVATE Qt6::Gui)
set(KELDA_PICTURE_PACK_DIR "${CMAKE_CURRENT_BINARY_DIR}/kelda_picture_pack")
set(KELDA_PICTURE_PACK "${KELDA_PICTURE_PACK_DIR}/pictures.pack")
add_custom_command(
    OUTPUT "${KELDA_PICTURE_PACK}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${KELDA_PICTURE_PACK_DIR}"
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:kelda_pack_pictures> "${KELDA_PICTURE_PACK}" "${KELDA_PICTURE_BASE}"
            ${KELDA_PICTURE_NAMES}
    DEPENDS kelda_pack_pictures ${KELDA_PICTURE_FILES}
    COMMENT "Packing the pictures"
    VERBATIM)
