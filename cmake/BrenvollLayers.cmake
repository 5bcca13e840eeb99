# brenvoll_layer(<folder> FLOOR <n> [WIDGETS] USES <folders...> SOURCES <files...> [LIBS <libs...>])
#
# Each folder of src/ is one static library, brenvoll_<folder>, on floor <n>,
# standing on the folders it USES (and all they use in turn), each of which
# must stand on a lower floor. The build keeps the direction: a library
# compiles against an include view that holds links to its own folder and to
# the folders below it only, so an include of a folder above (or beside)
# fails to compile; and only a library marked WIDGETS gets Qt Widgets.
set(BRENVOLL_LAYER_VIEWS ${CMAKE_BINARY_DIR}/layers)

function(brenvoll_layer folder)
    cmake_parse_arguments(ARG "WIDGETS" "FLOOR" "USES;SOURCES;LIBS" ${ARGN})
    set(target brenvoll_${folder})
    set_property(GLOBAL PROPERTY BRENVOLL_LAYER_FLOOR_${folder} ${ARG_FLOOR})
    foreach(used ${ARG_USES})
        get_property(used_floor GLOBAL PROPERTY BRENVOLL_LAYER_FLOOR_${used})
        if(NOT used_floor OR NOT used_floor LESS ARG_FLOOR)
            message(FATAL_ERROR "src/${folder} (floor ${ARG_FLOOR}) may use only folders below it, not src/${used}")
        endif()
    endforeach()
    add_library(${target} STATIC ${ARG_SOURCES})

    # Everything below, transitively: what the folders it uses may use.
    set(below ${ARG_USES})
    foreach(used ${ARG_USES})
        get_property(used_below GLOBAL PROPERTY BRENVOLL_LAYER_BELOW_${used})
        list(APPEND below ${used_below})
    endforeach()
    list(REMOVE_DUPLICATES below)
    set_property(GLOBAL PROPERTY BRENVOLL_LAYER_BELOW_${folder} ${below})

    set(view ${BRENVOLL_LAYER_VIEWS}/${folder})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(visible ${folder} ${below})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${visible} ${view}/${visible} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PRIVATE ${view})

    foreach(used ${ARG_USES})
        target_link_libraries(${target} PRIVATE brenvoll_${used})
    endforeach()
    target_link_libraries(${target} PUBLIC Qt6::Core Qt6::Gui Qt6::Sql ${ARG_LIBS})
    if(ARG_WIDGETS)
        target_link_libraries(${target} PUBLIC Qt6::Widgets Qt6::PrintSupport Qt6::Svg)
    endif()
endfunction()
