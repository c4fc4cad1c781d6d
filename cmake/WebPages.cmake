# The report, study, live and optimisation pages are written as web files in
# src/web: ES modules, CSS and one HTML skeleton. At build time esbuild (on
# the build host, also when cross-building) bundles each page's modules into
# one script, and embed_web_pages.cmake puts script, styles and skeleton into a
# generated C++ source, so that a page is one self-contained string in the
# library and nothing is looked up at run time.
set(VARNOCK_WEB_DIR ${PROJECT_SOURCE_DIR}/src/web)
set(VARNOCK_WEB_PAGES report study watch optimize)
set(VARNOCK_WEB_MODULES
  colour_bar.js colours.js figure_save.js format.js map_plot.js page.js profile_chart.js
  report.js report_maps.js report_view.js svg.js system_drawing.js tables.js ticks.js
  chart_frame.js study.js study_data.js study_sweep.js study_trials.js study_strip.js study_tables.js
  watch.js watch_state.js
  optimize.js optimize_data.js optimize_charts.js optimize_maps.js optimize_tables.js)
set(VARNOCK_WEB_STYLES base.css report.css study.css watch.css optimize.css)

find_program(ESBUILD esbuild NO_CMAKE_FIND_ROOT_PATH)
if(NOT ESBUILD)
  message(FATAL_ERROR "esbuild not found: it bundles the pages' scripts (scripts/install-deps.sh installs it)")
endif()

# Adds the generated source of the pages to target.
function(varnock_embed_web_pages target)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/web)
  list(TRANSFORM VARNOCK_WEB_MODULES PREPEND ${VARNOCK_WEB_DIR}/ OUTPUT_VARIABLE modules)
  set(bundles "")
  foreach(page IN LISTS VARNOCK_WEB_PAGES)
    add_custom_command(
      OUTPUT ${out_dir}/${page}.bundle.js
      COMMAND ${ESBUILD} ${VARNOCK_WEB_DIR}/${page}.js --bundle --format=iife --target=es2019
              --charset=utf8 --legal-comments=none --log-level=warning
              --outfile=${out_dir}/${page}.bundle.js
      DEPENDS ${modules}
      COMMENT "Bundling the script of ${page}.html"
      VERBATIM)
    list(APPEND bundles ${out_dir}/${page}.bundle.js)
  endforeach()
  list(TRANSFORM VARNOCK_WEB_STYLES PREPEND ${VARNOCK_WEB_DIR}/ OUTPUT_VARIABLE styles)
  add_custom_command(
    OUTPUT ${out_dir}/web_page_templates.cpp
    COMMAND ${CMAKE_COMMAND} -DWEB_DIR=${VARNOCK_WEB_DIR} -DBUNDLE_DIR=${out_dir}
            "-DPAGES=${VARNOCK_WEB_PAGES}" -DOUTPUT=${out_dir}/web_page_templates.cpp
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_web_pages.cmake
    DEPENDS ${bundles} ${styles} ${VARNOCK_WEB_DIR}/page.html ${PROJECT_SOURCE_DIR}/cmake/embed_web_pages.cmake
    COMMENT "Embedding the pages"
    VERBATIM)
  target_sources(${target} PRIVATE ${out_dir}/web_page_templates.cpp)
endfunction()
