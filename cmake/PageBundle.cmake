# The page's script: the ES modules under web/src/ bundled by esbuild (from npm, installed by
# scripts/setup) into the one script embedded as resource 106. The bundle is written into the build
# tree; KES_PAGE_BUNDLE names it.
find_program(KES_NODE node)
if(NOT KES_NODE)
    message(FATAL_ERROR "node is missing: the page's script is bundled with esbuild, which needs Node.js (run scripts/setup)")
endif()
find_program(KES_ESBUILD esbuild PATHS ${CMAKE_SOURCE_DIR}/node_modules/.bin NO_DEFAULT_PATH)
if(NOT KES_ESBUILD)
    message(FATAL_ERROR "esbuild is missing from ${CMAKE_SOURCE_DIR}/node_modules: run scripts/setup (it runs npm ci)")
endif()

set(KES_PAGE_BUNDLE ${CMAKE_BINARY_DIR}/page/app.js)
file(GLOB KES_PAGE_MODULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/src/*.js)
# Not minified, so that the embedded page stays readable; strict as the modules are; Chinese texts as
# they are written, not escaped.
add_custom_command(
    OUTPUT ${KES_PAGE_BUNDLE}
    COMMAND ${KES_ESBUILD} ${CMAKE_SOURCE_DIR}/web/src/main.js --bundle --format=iife --charset=utf8
            "--banner:js='use strict';" --log-level=warning --outfile=${KES_PAGE_BUNDLE}
    DEPENDS ${KES_PAGE_MODULES} ${CMAKE_SOURCE_DIR}/package-lock.json
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "Bundling the page's script"
    VERBATIM)
add_custom_target(kes_page_bundle DEPENDS ${KES_PAGE_BUNDLE})
