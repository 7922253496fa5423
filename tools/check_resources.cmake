# cmake -DEXE=<VorluneSetup.exe> -DWINDRES=<triple>-windres -DARCH=<x86|amd64> -P check_resources.cmake
#
# Reads the resources back out of the built installer with the resource compiler and checks the
# icon, the version block and the manifest. Runs without Wine, so the 32-bit build is covered too.
foreach(var EXE WINDRES ARCH)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_resources: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${WINDRES} -J coff -O rc -i ${EXE}
                OUTPUT_VARIABLE rc ERROR_VARIABLE err RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "check_resources: cannot read the resources of ${EXE}: ${err}")
endif()

set(failures "")
function(expect what regex)
  if(NOT rc MATCHES "${regex}")
    set(failures "${failures}\n  ${what}" PARENT_SCOPE)
  endif()
endfunction()

# One 32 x 32, 32-bit image of 4,264 bytes under group icon 1.
expect("group icon 1 with one 32x32 32-bit image"
       [=[
1 14 /[*] RT_GROUP_ICON [*]/
BEGIN
[^
]*Has 1 elements[^E]*"[\]040[\]040[\]000[\]000", 1, 32, 0x10a8L]=])
expect("FILEVERSION 1,5,0,0" "\n FILEVERSION 1, 5, 0, 0\n")
expect("PRODUCTVERSION 1,5,0,0" "\n PRODUCTVERSION 1, 5, 0, 0\n")
foreach(pair "FileVersion=1.5.0.0" "ProductVersion=1.5.0.0" "FileDescription=Vorlune Setup"
             "ProductName=Vorlune Setup" "Comments=Vorlune Setup")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 key)
  list(GET pair 1 value)
  expect("string ${key} = \"${value}\"" "VALUE \"${key}\", \"${value}\"\n")
endforeach()
expect("translation 0804/1200" "VALUE \"Translation\", 0x804, 1200")
expect("manifest 1" [=[
1 24 /[*] RT_MANIFEST [*]/]=])
expect("Common Controls 6.0.0.0 for ${ARCH}"
       "name=\"\"Microsoft.Windows.Common-Controls\"\" version=\"\"6.0.0.0\"\"[^>]*processorArchitecture=\"\"${ARCH}\"\"")
expect("asInvoker" "requestedExecutionLevel level=\"\"asInvoker\"\"")

if(failures)
  message(FATAL_ERROR "check_resources: ${EXE} lacks:${failures}")
endif()
