# The page files and the licence notices, embedded under fixed ids. Windows: RCDATA in the resource
# script. Linux: a generated C++ source holding the same bytes. The page's script is built (PageBundle.cmake);
# every other file comes from the source tree.
include(${CMAKE_CURRENT_LIST_DIR}/PageBundle.cmake)
set(KES_EMBEDDED_RESOURCES
    101 web/index.html
    102 web/style.css
    103 web/sidebar.css
    104 web/window.css
    105 web/fonts.css
    106 ${KES_PAGE_BUNDLE}
    107 NativeHost/resources/licenses.txt)
if(NOT WIN32)
    # The tray icons (macros on, macros off); Windows has them as ICON resources in the resource script.
    list(APPEND KES_EMBEDDED_RESOURCES 1 NativeHost/resources/macros-on.ico 2 NativeHost/resources/macros-off.ico)
endif()

set(KES_EMBEDDED_FILES)
set(KES_EMBEDDED_ARGS)
list(LENGTH KES_EMBEDDED_RESOURCES count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET KES_EMBEDDED_RESOURCES ${i} id)
    list(GET KES_EMBEDDED_RESOURCES ${j} file)
    if(NOT IS_ABSOLUTE ${file})
        set(file ${CMAKE_SOURCE_DIR}/${file})
    endif()
    list(APPEND KES_EMBEDDED_FILES ${file})
    list(APPEND KES_EMBEDDED_ARGS "${id}=${file}")
endforeach()

if(WIN32)
    # The resource script is compiled once, after the page's script is bundled; every executable that
    # embeds the resources lists ${KES_RESOURCE_SCRIPT} among its sources. The bundle is found as
    # "page/app.js" below the build tree.
    set(resourceScript ${CMAKE_SOURCE_DIR}/NativeHost/resources/Kestrava.rc)
    set_source_files_properties(${resourceScript} PROPERTIES OBJECT_DEPENDS "${KES_EMBEDDED_FILES}")
    set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/NativeHost/resources -I${CMAKE_SOURCE_DIR} -I${CMAKE_BINARY_DIR}")
    add_library(kes_resources OBJECT ${resourceScript})
    add_dependencies(kes_resources kes_page_bundle)
    set(KES_RESOURCE_SCRIPT $<TARGET_OBJECTS:kes_resources>)
else()
    set(generated ${CMAKE_BINARY_DIR}/generated/EmbeddedResourceData.cpp)
    string(REPLACE ";" "|" resourceArgument "${KES_EMBEDDED_ARGS}")
    add_custom_command(
        OUTPUT ${generated}
        COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${generated}" "-DRESOURCES=${resourceArgument}"
                -P ${CMAKE_SOURCE_DIR}/cmake/GenerateResourceSource.cmake
        DEPENDS ${KES_EMBEDDED_FILES} ${CMAKE_SOURCE_DIR}/cmake/GenerateResourceSource.cmake
        COMMENT "Embedding page files and licence notices"
        VERBATIM)
    add_library(kes_embedded_resources STATIC ${generated})
    target_include_directories(kes_embedded_resources PUBLIC ${CMAKE_SOURCE_DIR}/NativeHost)
endif()
