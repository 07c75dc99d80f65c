# Copies the pictures named in the index lists from the Tango icon theme into the build
# tree under stable names (<kind>/<index>.png) and collects them in KELDA_PICTURE_FILES,
# to be compiled in below the resource prefix "/pictures" from KELDA_PICTURE_BASE.

set(KELDA_TANGO_DIR "/usr/share/icons/Tango" CACHE PATH "Root folder of the Tango icon theme")
set(KELDA_PICTURE_BASE "${CMAKE_CURRENT_BINARY_DIR}/kelda_pictures")
set(KELDA_PICTURE_LISTS "${CMAKE_CURRENT_LIST_DIR}")
set(KELDA_PICTURE_FILES "")
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
