# 7-Zip for the Windows builds: 7z.dll (carried by oxa.lib), its interface headers, and the
# console 7z.exe the archive benchmark compares against. deps/build-7zip.sh builds them from
# Debian's source package into a cache outside the tree, keyed by the package version; it does
# nothing when the cache already holds that version.
#
# Sets VELTRIX_7ZIP_DIR (the cache folder), VELTRIX_7ZIP_CPP (the source's CPP folder, for the
# headers), VELTRIX_7ZIP_DLL (7z.dll for this target's bitness) and VELTRIX_7ZIP_EXE (x86_64 7z.exe).
execute_process(
  COMMAND sh ${PROJECT_SOURCE_DIR}/deps/build-7zip.sh --print-dir
  OUTPUT_VARIABLE _vx_7zip_dir
  OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE _vx_7zip_result
)
if(NOT _vx_7zip_result EQUAL 0 OR NOT EXISTS "${_vx_7zip_dir}/done")
  message(FATAL_ERROR "deps/build-7zip.sh failed (${_vx_7zip_result}); run it by hand to see why")
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_vx_7zip_arch x86_64)
else()
  set(_vx_7zip_arch i686)
endif()
set(VELTRIX_7ZIP_DIR ${_vx_7zip_dir})
set(VELTRIX_7ZIP_CPP ${_vx_7zip_dir}/src/CPP)
set(VELTRIX_7ZIP_DLL ${_vx_7zip_dir}/${_vx_7zip_arch}/7z.dll)
set(VELTRIX_7ZIP_EXE ${_vx_7zip_dir}/x86_64/7z.exe)
foreach(_vx_file ${VELTRIX_7ZIP_DLL} ${VELTRIX_7ZIP_CPP}/7zip/Archive/IArchive.h)
  if(NOT EXISTS ${_vx_file})
    message(FATAL_ERROR "7-Zip cache ${_vx_7zip_dir} lacks ${_vx_file}")
  endif()
endforeach()
message(STATUS "7-Zip: ${VELTRIX_7ZIP_DLL}")
