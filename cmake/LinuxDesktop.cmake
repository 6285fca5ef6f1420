# The Linux desktop host: a GTK window showing the page in WebKitGTK, with global keys on X11.
#
# kes_linux_logic holds the host's decisions that need none of these libraries (the browser's addresses,
# the classification of X11 key events, the key grabs a profile needs, the global hotkeys, the answers to
# the session's lock and sleep signals); it is always built and unit-tested.
# kes_linux_desktop, the host itself, is built only where GTK 3, WebKitGTK 4.1, Xlib, XInput2 and XTest are
# installed (scripts/setup installs them); the tray joins where the desktop offers an indicator library.
add_library(kes_linux_logic STATIC
    NativeHost/webhost/gtk/SchemeAddress.cpp
    NativeHost/platform/x11/KeySymbols.cpp
    NativeHost/platform/x11/KeyRouter.cpp
    NativeHost/platform/x11/GrabPlan.cpp
    NativeHost/platform/x11/HotkeyTable.cpp
    NativeHost/shell/gtk/ClaimedKeys.cpp
    NativeHost/shell/gtk/SessionSignals.cpp)
target_link_libraries(kes_linux_logic PUBLIC kes_core PRIVATE kes_warnings)

find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(KES_DESKTOP IMPORTED_TARGET gtk+-3.0 webkit2gtk-4.1 x11 xi xtst)
    pkg_check_modules(KES_TRAY IMPORTED_TARGET ayatana-appindicator3-0.1)
endif()

if(KES_DESKTOP_FOUND)
    file(GLOB KES_LINUX_DESKTOP_SOURCES CONFIGURE_DEPENDS
        NativeHost/shell/gtk/*.cpp NativeHost/webhost/gtk/*.cpp NativeHost/platform/x11/*.cpp)
    get_target_property(KES_LINUX_LOGIC_SOURCES kes_linux_logic SOURCES)
    foreach(logic IN LISTS KES_LINUX_LOGIC_SOURCES)
        list(REMOVE_ITEM KES_LINUX_DESKTOP_SOURCES ${CMAKE_SOURCE_DIR}/${logic})
    endforeach()
    add_library(kes_linux_desktop STATIC ${KES_LINUX_DESKTOP_SOURCES})
    target_link_libraries(kes_linux_desktop PUBLIC kes_linux_logic PkgConfig::KES_DESKTOP PRIVATE kes_warnings)
    if(KES_TRAY_FOUND)
        target_link_libraries(kes_linux_desktop PRIVATE PkgConfig::KES_TRAY)
        target_compile_definitions(kes_linux_desktop PRIVATE KES_HAVE_TRAY=1)
    endif()
    message(STATUS "Linux desktop host: GTK, WebKitGTK and X11 found (tray: ${KES_TRAY_FOUND})")
else()
    message(STATUS "Linux desktop host not built: GTK 3, WebKitGTK 4.1, XInput2 or XTest missing (run scripts/setup)")
endif()
