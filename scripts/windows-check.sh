#!/usr/bin/env bash
# Checks the Windows side without a Windows machine: compiles every Win32 source (file layer, serial
# driver, serial port list, settings folder, single instance, process set-up, virtual ports) and the
# store with Debian's mingw-w64, then builds the store's unit tests against GoogleTest (from Debian's
# sources) and runs them under wine. Installs mingw-w64 and wine when missing (large); not part of
# the tests. Output goes to build-windows-check/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# GCC 12's posix-threads variant: the win32 one has no std::thread or std::mutex.
cxx=x86_64-w64-mingw32-g++-posix
out=build-windows-check
mkdir -p "$out/obj" "$out/gtest"
flags=(-std=c++20 -O1 -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Werror -I.)

# Units move between floors (base/, store/, output/, app/): each is found by its file name.
source=""
find_source() {
  source=$(find base store output app tests -name "$1" -print -quit 2>/dev/null || true)
  [ -n "$source" ] || { echo "windows check: $1 not found" >&2; exit 1; }
}

object=""
compile() { # source [extra flags...] -> $object in $out/obj
  object="$out/obj/$(echo "$1" | tr / _).o"
  "$cxx" "${flags[@]}" "${@:2}" -c "$1" -o "$object"
}

echo "== compiling with $("$cxx" --version | head -n1)"
store_sources=(Data_File.cpp Data_File_win32.cpp Event_Store.cpp Image_File.cpp Image_Writer.cpp Object_Table.cpp
  Sync_Events.cpp File_Fault.cpp System_Error_win32.cpp)
win32_sources=(Comm_Port.cpp Comm_Port_win32.cpp Com_Ports.cpp Com_Ports_win32.cpp Line_Socket.cpp Line_Socket_win32.cpp Settings_Folder_win32.cpp
  Single_Instance_win32.cpp Virtual_Ports_win32.cpp Data_Folder_Access_win32.cpp Settings_File_win32.cpp
  Service_Notify_win32.cpp)
store_objects=()
for name in "${store_sources[@]}"; do
  find_source "$name"
  compile "$source"
  store_objects+=("$object")
  echo "   ok  $source"
done
for name in "${win32_sources[@]}"; do
  find_source "$name"
  compile "$source"
  echo "   ok  $source"
done
# Debian has no Windows build of Qt: the one Win32 file that uses Qt is checked against the
# system's Qt headers, without code generation.
qt_headers=/usr/include/$(gcc -print-multiarch)/qt6
find_source Process_Setup_win32.cpp
"$cxx" "${flags[@]}" -fsyntax-only -I"$qt_headers" -I"$qt_headers/QtCore" "$source"
echo "   ok  $source (syntax and types only, against Debian's Qt headers)"

echo "== GoogleTest from /usr/src/googletest"
gtest=/usr/src/googletest/googletest
for unit in gtest-all gtest_main; do
  [ -f "$out/gtest/$unit.o" ] || "$cxx" -std=c++20 -O1 -I"$gtest/include" -I"$gtest" -c "$gtest/src/$unit.cc" \
    -o "$out/gtest/$unit.o"
done

echo "== store tests"
declare -A tests=(
  [base_sync_test]="Sync_Events_test.cpp"
  [base_system_error_test]="System_Error_test.cpp"
  [store_data_file_test]="Data_File_test.cpp"
  [event_store_test]="Event_Store_test.cpp Event_Store_Failure_test.cpp"
  [object_table_test]="Object_Table_test.cpp Object_File_Failure_test.cpp"
  [store_concurrency_test]="Store_Concurrency_test.cpp"
)
if command -v wine64 >/dev/null; then
  wine=(wine64)
elif [ -x /usr/lib/wine/wine64 ]; then
  wine=(/usr/lib/wine/wine64)
else
  wine=(wine)
fi
export WINEPREFIX="$PWD/$out/wine-prefix" WINEDEBUG=-all
failed=0
for name in $(printf '%s\n' "${!tests[@]}" | sort); do
  objects=()
  for file in ${tests[$name]}; do
    find_source "$file"
    compile "$source" -isystem "$gtest/include" -I"$(dirname "$source")"
    objects+=("$object")
  done
  # Static, so wine needs no MinGW run-time DLLs beside the executable.
  "$cxx" -static -o "$out/$name.exe" "${objects[@]}" "${store_objects[@]}" \
    "$out/gtest/gtest-all.o" "$out/gtest/gtest_main.o"
  echo "-- $name.exe under ${wine[*]}"
  if ! timeout 600 "${wine[@]}" "$out/$name.exe" --gtest_brief=1 </dev/null; then
    failed=$((failed + 1))
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "windows check: $failed test program(s) failed"
  exit 1
fi
echo "windows check: every Win32 source compiles, store tests pass under wine"
