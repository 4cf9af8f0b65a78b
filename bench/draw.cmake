# Frame cost of the overlay and first frames; run build/bench/vthud_draw_bench.
add_executable(vthud_draw_bench
  ${CMAKE_CURRENT_LIST_DIR}/draw_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/first_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lean_overlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/heap_census_report.cpp
  ${CMAKE_SOURCE_DIR}/element/drawing/readouts.cpp
  ${CMAKE_SOURCE_DIR}/element/drawing/mask_geometry.cpp)
target_include_directories(vthud_draw_bench PRIVATE ${CMAKE_SOURCE_DIR}/element/drawing)
target_link_libraries(vthud_draw_bench PRIVATE vthost vthost_allocations benchmark::benchmark Qt5::Core
                                               PkgConfig::FTGL Freetype::Freetype)
target_compile_definitions(vthud_draw_bench PRIVATE VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>"
                                                    VTHUD_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources")
add_dependencies(vthud_draw_bench vthudelement vtframelines)
target_compile_definitions(vthud_draw_bench PRIVATE VTLINES_PLUGIN_PATH="$<TARGET_FILE:vtframelines>"
                                                    VTLINES_SAMPLE_FDL="${CMAKE_SOURCE_DIR}/docs/fdl/a-cam-anamorphic.fdl")

# Other faces for the first-frame comparison: the full Debian faces the
# bundled ones are cut from, and DejaVu Sans given the same cut.
set(VTHUD_FULL_SANS /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf)
set(VTHUD_FULL_MONO /usr/share/fonts/truetype/inconsolata/Inconsolata.otf)
set(VTHUD_DEJAVU_SANS /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
function(vthud_face_bundle name sans mono)
  set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${name}.qrc)
  file(WRITE ${qrc} "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n"
       "  <file alias=\"resources/OratorStd.otf\">${mono}</file>\n"
       "  <file alias=\"resources/Arial.ttf\">${sans}</file>\n</qresource>\n</RCC>\n")
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.rcc
    COMMAND Qt5::rcc -binary -no-compress ${qrc} -o ${CMAKE_CURRENT_BINARY_DIR}/${name}.rcc
    DEPENDS ${qrc} ${sans} ${mono})
  add_custom_target(vthud_bench_${name} DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.rcc)
  add_dependencies(vthud_draw_bench vthud_bench_${name})
endfunction()
if(EXISTS ${VTHUD_FULL_SANS} AND EXISTS ${VTHUD_FULL_MONO})
  vthud_face_bundle(bench_full_faces ${VTHUD_FULL_SANS} ${VTHUD_FULL_MONO})
  target_compile_definitions(vthud_draw_bench PRIVATE
    VTHUD_FULL_FACES_RCC="${CMAKE_CURRENT_BINARY_DIR}/bench_full_faces.rcc" VTHUD_FULL_SANS="${VTHUD_FULL_SANS}")
  if(EXISTS ${VTHUD_DEJAVU_SANS} AND VTHUD_FONTTOOLS_PYTHON)
    set(dejavu_dir ${CMAKE_CURRENT_BINARY_DIR}/dejavu_cut)
    add_custom_command(OUTPUT ${dejavu_dir}/Arial.ttf
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dejavu_dir}
      COMMAND ${VTHUD_FONTTOOLS_PYTHON} ${CMAKE_SOURCE_DIR}/resources/cut_fonts.py ${dejavu_dir}
              ${VTHUD_DEJAVU_SANS} ${VTHUD_FULL_MONO}
      DEPENDS ${CMAKE_SOURCE_DIR}/resources/cut_fonts.py ${VTHUD_DEJAVU_SANS})
    vthud_face_bundle(bench_dejavu_cut ${dejavu_dir}/Arial.ttf ${CMAKE_SOURCE_DIR}/resources/OratorStd.otf)
    target_compile_definitions(vthud_draw_bench PRIVATE
      VTHUD_DEJAVU_CUT_RCC="${CMAKE_CURRENT_BINARY_DIR}/bench_dejavu_cut.rcc"
      VTHUD_DEJAVU_CUT_SANS="${dejavu_dir}/Arial.ttf")
  endif()
endif()
