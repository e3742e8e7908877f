# Cross build for 64-bit Windows with MinGW-w64 (posix threads) on Debian, against a Qt built for that target.
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/windows-mingw.cmake -DVORANO_QT_WINDOWS=<prefix>
#
# <prefix> is the unpacked Qt prefix (bin/, lib/cmake/Qt6, plugins/); it may also come from the environment
# variable VORANO_QT_WINDOWS. scripts/build-windows unpacks it and calls this. The host's moc, rcc and uic of the
# same Qt version do the code generation (Debian: qt6-base-dev-tools).
if(NOT VORANO_QT_WINDOWS AND DEFINED ENV{VORANO_QT_WINDOWS})
  set(VORANO_QT_WINDOWS "$ENV{VORANO_QT_WINDOWS}")
endif()
if(NOT VORANO_QT_WINDOWS OR NOT EXISTS "${VORANO_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
  message(FATAL_ERROR "VORANO_QT_WINDOWS must name an unpacked Windows Qt prefix (found: '${VORANO_QT_WINDOWS}')")
endif()
# try_compile projects configure with this file too: they need the prefix as well.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORANO_QT_WINDOWS)
set(ENV{VORANO_QT_WINDOWS} "${VORANO_QT_WINDOWS}")

# Qt's own toolchain file names the compilers (x86_64-w64-mingw32-g++-posix, windres) and the search roots.
include("${VORANO_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
set(QT_HOST_PATH "/usr" CACHE PATH "The host's Qt (moc, rcc, uic)")
