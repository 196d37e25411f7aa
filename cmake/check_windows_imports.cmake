# Fails unless every given Windows executable imports only DLLs that ship with Windows, so that
# a copied .exe runs on its own (no compiler runtime beside it).
#
#   cmake -DOBJDUMP=<objdump> -DFILES="a.exe|b.exe" -P check_windows_imports.cmake
#
# FILES is "|"-separated because CTest splits its arguments on ";".
cmake_minimum_required(VERSION 3.25)

if(NOT OBJDUMP OR NOT FILES)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=<objdump> -DFILES=\"a.exe|b.exe\" -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

# Windows' own DLLs (lower case). The API sets are Windows' own forwarders.
set(allowed
  advapi32 bcrypt comctl32 comdlg32 crypt32 dwmapi gdi32 gdiplus imm32 kernel32 msvcrt ntdll
  ole32 oleacc oleaut32 rpcrt4 secur32 shcore shell32 shlwapi user32 userenv uxtheme version
  winmm ws2_32)

string(REPLACE "|" ";" files "${FILES}")
set(bad "")
foreach(file IN LISTS files)
  if(NOT EXISTS "${file}")
    list(APPEND bad "${file}: not built")
    continue()
  endif()
  execute_process(COMMAND "${OBJDUMP}" -p "${file}"
    OUTPUT_VARIABLE dump ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND bad "${file}: ${OBJDUMP} failed: ${err}")
    continue()
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND names "${dll}")
    string(TOLOWER "${dll}" lower)
    string(REGEX REPLACE "\\.dll$" "" stem "${lower}")
    if(stem IN_LIST allowed OR lower MATCHES "^(api|ext)-ms-win-.*\\.dll$")
      continue()
    endif()
    list(APPEND bad "${file}: not a Windows DLL: ${dll}")
  endforeach()
  if(NOT names)
    # A PE image always imports something; an empty list means objdump did not read it as one.
    list(APPEND bad "${file}: no import table found")
    continue()
  endif()
  get_filename_component(short "${file}" NAME)
  list(JOIN names ", " shown)
  message(STATUS "${short}: ${shown}")
endforeach()

if(bad)
  list(JOIN bad "\n  " shown)
  message(FATAL_ERROR "Executables that need more than Windows:\n  ${shown}")
endif()
list(LENGTH files count)
message(STATUS "${count} executable(s) import only Windows DLLs")
