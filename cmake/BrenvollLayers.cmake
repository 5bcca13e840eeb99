# brenvoll_layer(<folder> FLOOR <n> [WIDGETS] USES <folders...> SOURCES <files...> [LIBS <libs...>])
#
# Each folder of src/ is one static library, brenvoll_<folder>, on floor <n>,
# standing on the folders it USES (and all they use in turn), each of which
# must stand on a lower floor. The build keeps the direction: a library
# compiles against an include view that holds links to its own folder and to
# the folders below it only, so an include of a folder above (or beside)
# fails to compile; and only a library marked WIDGETS gets Qt Widgets.
#
# Where a folder link cannot be made (Windows without the right to make
# symbolic links, some shared or FAT file systems), the view holds instead,
# for each header of the folder, a header of the same name that includes the
# real one by its full path. The compiler then reads, reports and guards
# (#pragma once) the real file only, so a change to a header needs nothing
# refreshed; the set of headers is globbed with CONFIGURE_DEPENDS, so that a
# header added or removed makes the next build configure the views again.
# BRENVOLL_LAYER_FORWARDING chooses them even where links can be made.
set(BRENVOLL_LAYER_VIEWS ${CMAKE_BINARY_DIR}/layers)
option(BRENVOLL_LAYER_FORWARDING "Build the include views of forwarding headers, as where folder links cannot be made"
       OFF)

# Makes ${view}/${folder} show the headers of src/${folder}: a link to the
# folder, or forwarding headers when the link cannot be made. A forwarding
# header is rewritten only when its text changes, so configuring again
# rebuilds nothing.
function(brenvoll_layer_show view folder)
    set(source ${PROJECT_SOURCE_DIR}/src/${folder})
    set(shown ${view}/${folder})
    if(NOT BRENVOLL_LAYER_FORWARDING)
        if(IS_SYMLINK ${shown})
            file(REMOVE ${shown})
        elseif(IS_DIRECTORY ${shown})
            file(REMOVE_RECURSE ${shown})
        endif()
        file(CREATE_LINK ${source} ${shown} RESULT linked SYMBOLIC)
        if(linked STREQUAL "0")
            return()
        endif()
        message(STATUS "No folder link for ${folder} (${linked}): forwarding headers instead")
    endif()
    if(IS_SYMLINK ${shown})
        file(REMOVE ${shown})
    endif()
    file(MAKE_DIRECTORY ${shown})
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source} ${source}/*.h)
    file(GLOB stale RELATIVE ${shown} ${shown}/*)
    list(REMOVE_ITEM stale ${headers})
    foreach(gone ${stale})
        file(REMOVE_RECURSE ${shown}/${gone})
    endforeach()
    foreach(header ${headers})
        file(CONFIGURE OUTPUT ${shown}/${header} CONTENT "#include \"${source}/${header}\"\n" @ONLY)
    endforeach()
endfunction()

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

    # The view shows what it may and nothing more: what a former configure
    # showed and the folder may no longer use goes.
    set(view ${BRENVOLL_LAYER_VIEWS}/${folder})
    file(MAKE_DIRECTORY ${view})
    file(GLOB shown RELATIVE ${view} ${view}/*)
    list(REMOVE_ITEM shown ${folder} ${below})
    foreach(gone ${shown})
        if(IS_SYMLINK ${view}/${gone})
            file(REMOVE ${view}/${gone})
        else()
            file(REMOVE_RECURSE ${view}/${gone})
        endif()
    endforeach()
    foreach(visible ${folder} ${below})
        brenvoll_layer_show(${view} ${visible})
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
