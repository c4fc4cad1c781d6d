# cmake -DWEB_DIR=src/web -DNODE=node -P web_lint.cmake: ESLint over the
# pages' scripts, or a clear failure when it is not installed.
set(eslint ${WEB_DIR}/node_modules/eslint/bin/eslint.js)
if(NOT EXISTS ${eslint})
  message(FATAL_ERROR "ESLint is not installed in ${WEB_DIR}: run scripts/install-deps.sh --tests")
endif()
execute_process(COMMAND ${NODE} ${eslint} --max-warnings 0 . WORKING_DIRECTORY ${WEB_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "ESLint found problems in ${WEB_DIR}")
endif()
