# Fails when a source file includes a header of a room it may not use, so
# that the rooms keep depending one way:
#   table  <- files, text <- picture <- window <- app
# `files` and `text` use only `table`; `picture` uses `table`; `window` uses
# all of those; `app` uses everything. Run with -DSOURCE_DIR=<project>.
cmake_minimum_required(VERSION 3.25)
set(rooms table files text picture window app)
set(allowed_table table)
set(allowed_files table files)
set(allowed_text table text)
set(allowed_picture table picture)
set(allowed_window table files text picture window)
set(allowed_app table files text picture window app)

# Which room each header belongs to, by its file name.
foreach(room IN LISTS rooms)
    file(GLOB headers RELATIVE ${SOURCE_DIR}/${room} ${SOURCE_DIR}/${room}/*.h)
    foreach(header IN LISTS headers)
        set(room_of_${header} ${room})
    endforeach()
endforeach()

set(faults 0)
set(checked 0)
foreach(room IN LISTS rooms)
    file(GLOB sources ${SOURCE_DIR}/${room}/*.h ${SOURCE_DIR}/${room}/*.cpp)
    foreach(source IN LISTS sources)
        math(EXPR checked "${checked} + 1")
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
            get_filename_component(name ${header} NAME)
            if(DEFINED room_of_${name} AND NOT "${room_of_${name}}" IN_LIST allowed_${room})
                file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
                message(SEND_ERROR "${shown} includes ${header} of ${room_of_${name}}/, "
                                   "which ${room}/ may not use")
                math(EXPR faults "${faults} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()
message(STATUS "${checked} files checked, ${faults} includes against the rooms' order")
