# Every test program registers through qm_add_tests, so that all get the
# same limits and, in sanitizer builds, the same runtime options: the one
# place where the LeakSanitizer suppressions are named. The programs a test
# starts inherit the environment, so the options reach them too. One
# variable only: a list would not survive test discovery.
set(QM_TEST_ENVIRONMENT "")
if(QM_SANITIZE MATCHES "address")
  set(QM_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
elseif(QM_SANITIZE MATCHES "thread")
  set(QM_TEST_ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1")
endif()

# Where the tests run. The display and the windows (GTK and WebKit keep
# allocations and threads the sanitizers report), and the runs of the
# programs against real servers (nginx, Swift, the Windows programs under Wine),
# where one optimised run is enough, run only in the plain build: labels
# QM_PLAIN_ONLY_LABELS. A sanitizer build neither builds nor registers them.
# The target plain_tests builds them and test support's tests (their X
# server's cases need the plain build too): what the plain stage of
# scripts/test runs, reading the labels from plain_stage_labels in the build
# folder, so that this is the one list. A test has one label: lists do not
# survive test discovery.
set(QM_PLAIN_ONLY_LABELS display gui nginx object_storage wine)
set(QM_PLAIN_STAGE_LABELS ${QM_PLAIN_ONLY_LABELS} test_support)
list(JOIN QM_PLAIN_STAGE_LABELS "|" _plain_stage)
file(WRITE ${PROJECT_BINARY_DIR}/plain_stage_labels "^(${_plain_stage})$\n")
if(BUILD_TESTING)
  add_custom_target(plain_tests)
endif()
# The Windows test programs that inject mouse input.
set(QM_WINDOWS_MOUSE_TESTS platform_mfc_tests platform_user32_tests ui_kit_tests ui_tests)

# qm_add_tests(TARGET [LABELS label...] [TIMEOUT seconds] [ONE_PROCESS])
# ONE_PROCESS registers the program as a single test run in one process,
# for many cells that share an expensive setup. Such a run is the longest of
# its stage: it starts first, so the other tests share the rest of the
# cores beside it instead of waiting for it at the end.
function(qm_add_tests target)
  cmake_parse_arguments(QM "ONE_PROCESS" "TIMEOUT" "LABELS" ${ARGN})
  if(NOT QM_TIMEOUT)
    set(QM_TIMEOUT 300)
  endif()
  set(_properties TIMEOUT ${QM_TIMEOUT})
  if(QM_ONE_PROCESS)
    list(APPEND _properties COST 1000)
  endif()
  if(QM_LABELS)
    list(APPEND _properties LABELS "${QM_LABELS}")
  endif()
  if(QM_LABELS IN_LIST QM_PLAIN_ONLY_LABELS AND QM_SANITIZE)
    set_target_properties(${target} PROPERTIES EXCLUDE_FROM_ALL TRUE)
    return()
  endif()
  if(QM_LABELS IN_LIST QM_PLAIN_STAGE_LABELS)
    add_dependencies(plain_tests ${target})
  endif()
  if(QM_TEST_ENVIRONMENT)
    list(APPEND _properties ENVIRONMENT "${QM_TEST_ENVIRONMENT}")
  endif()
  # The tests' own code ships nowhere and does little work of its own, and
  # test programs were two thirds of every build's compile time: -Og compiles
  # it in about half the time of -O1, and compiled eight files at a time the
  # test framework's headers are read once per eight. So test files share one
  # namespace per batch: what two of them both need goes into their helper
  # header, not into a second copy. The code under test keeps the build's
  # level; it is in the libraries the program links.
  # Included into a batch's file, a test file reads to the compiler as a
  # header, and its fixtures in anonymous namespaces draw a warning meant
  # for headers.
  target_compile_options(${target} PRIVATE -Og -Wno-subobject-linkage)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  if(WIN32)
    # Under Wine all test programs share one desktop and its one mouse: two
    # that move it at once lose each other's presses, so those take turns.
    if(target IN_LIST QM_WINDOWS_MOUSE_TESTS)
      list(APPEND _properties RESOURCE_LOCK mouse)
    endif()
    # The tests' texts take the ANSI code page to be UTF-8, as it is on
    # Linux; the launcher itself keeps the system's.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/windows/utf8_code_page.rc)
  endif()
  # Under Wine a process start costs about half a second: one entry per
  # program there, not per case.
  if(WIN32 OR QM_ONE_PROCESS)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ${_properties})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${_properties})
  endif()
endfunction()

# Every folder is one static library plus, when it has *_test.cpp files,
# one GoogleTest binary registered with CTest. *_main.cpp files hold program
# entries and stay out of the library; *_posix.cpp and *_posix_test.cpp files
# hold what only POSIX systems have and stay out of a Windows build, and
# *_win32.cpp and *_win32_test.cpp files what only Windows has.
#
# qm_folder_library(NAME [LIBS ...] [PRIVATE_LIBS ...] [TEST_LIBS ...] [LABEL label])
# LIBS are needed by the folder's headers too; the tests' CTest label is
# LABEL, by default NAME.
function(qm_folder_library name)
  cmake_parse_arguments(QM "" "LABEL" "LIBS;PRIVATE_LIBS;TEST_LIBS" ${ARGN})
  if(NOT QM_LABEL)
    set(QM_LABEL ${name})
  endif()
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB _mains CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_main.cpp)
  if(_tests OR _mains)
    list(REMOVE_ITEM _sources ${_tests} ${_mains})
  endif()
  if(WIN32)
    list(FILTER _sources EXCLUDE REGEX "_posix\\.cpp$")
    list(FILTER _tests EXCLUDE REGEX "_posix_test\\.cpp$")
  else()
    list(FILTER _sources EXCLUDE REGEX "_win32\\.cpp$")
    list(FILTER _tests EXCLUDE REGEX "_win32_test\\.cpp$")
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${QM_LIBS} PRIVATE ${QM_PRIVATE_LIBS})
  if(_tests AND BUILD_TESTING)
    add_executable(${name}_tests ${_tests})
    target_link_libraries(${name}_tests PRIVATE ${name} ${QM_TEST_LIBS} GTest::gtest_main GTest::gmock)
    qm_add_tests(${name}_tests LABELS ${QM_LABEL})
  endif()
endfunction()

# qm_demo_programs(TARGET): a test that runs the built programs against the
# demo, as a player's machine and a publisher run them, is built after them
# and told where they are (QM_CDN_PROGRAM, QM_HEADLESS_PROGRAM,
# QM_LAUNCHER_PROGRAM, QM_DEMO_GAME_PROGRAM, QM_LAUNCHER_STYLES, QM_DEMO_FOLDER).
function(qm_demo_programs target)
  add_dependencies(${target} quillmoor-cdn quillmoor-headless launcher demo_game launcher_styles)
  target_compile_definitions(${target} PRIVATE
    QM_CDN_PROGRAM="$<TARGET_FILE:quillmoor-cdn>"
    QM_HEADLESS_PROGRAM="$<TARGET_FILE:quillmoor-headless>"
    QM_LAUNCHER_PROGRAM="$<TARGET_FILE:launcher>"
    QM_DEMO_GAME_PROGRAM="$<TARGET_FILE:demo_game>"
    QM_LAUNCHER_STYLES="${PROJECT_BINARY_DIR}/bin/LauncherStyles"
    QM_DEMO_FOLDER="${PROJECT_SOURCE_DIR}/demo")
endfunction()

# The launcher's program icon, drawn at build time with its pictures
# (tools/styles) and linked into the Windows programs.
set(QM_LAUNCHER_ICON ${PROJECT_BINARY_DIR}/resources/launcher.ico)

# The version as Windows writes it, four numbers, for the programs and the
# installer alike.
set(QM_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
if(QM_VERSION_TWEAK STREQUAL "")
  set(QM_VERSION_TWEAK 0)
endif()
set(QM_VERSION_TEXT ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${QM_VERSION_TWEAK})

# The installer (scripts/windows-installer) takes its names, version and icon
# from the build, so that they are the programs' own.
if(WIN32)
  set(QM_NSIS_PRODUCT "${QM_PRODUCT_NAME}")
  set(QM_NSIS_COMPANY "${QM_COMPANY_NAME}")
  foreach(_text QM_NSIS_PRODUCT QM_NSIS_COMPANY)
    # NSIS strings write "$" as "$$" and a quote as "$\"".
    string(REPLACE "$" "$$" ${_text} "${${_text}}")
    string(REPLACE "\"" "$\\\"" ${_text} "${${_text}}")
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/product.nsh.in ${PROJECT_BINARY_DIR}/installer/product.nsh @ONLY)
endif()

# Resource-script strings escape backslashes and double their quotes.
function(_qm_rc_text out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# qm_program_resources(TARGET FILE_NAME name DESCRIPTION text [ICON]): the
# resources of a shipped Windows program: version information (name and
# version from the top CMakeLists.txt, QM_COMPANY_NAME), the application
# manifest (cmake/windows/program.manifest) and, with ICON, the launcher's
# icon. Nothing on other systems.
function(qm_program_resources target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(QM "ICON" "FILE_NAME;DESCRIPTION" "" ${ARGN})
  _qm_rc_text(QM_RC_COMPANY "${QM_COMPANY_NAME}")
  _qm_rc_text(QM_RC_PRODUCT "${QM_PRODUCT_NAME}")
  _qm_rc_text(QM_RC_DESCRIPTION "${QM_DESCRIPTION}")
  set(QM_RC_FILE_NAME ${QM_FILE_NAME})
  get_filename_component(QM_RC_INTERNAL_NAME ${QM_FILE_NAME} NAME_WE)
  set(QM_RC_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest)
  set(QM_RC_ICON "")
  set(_depends ${QM_RC_MANIFEST})
  if(QM_ICON)
    # The first icon group is the one Explorer shows for the program.
    set(QM_RC_ICON "1 ICON \"${QM_LAUNCHER_ICON}\"")
    list(APPEND _depends ${QM_LAUNCHER_ICON})
    add_dependencies(${target} launcher_styles)
  endif()
  set(_script ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${_script} @ONLY)
  set_source_files_properties(${_script} PROPERTIES OBJECT_DEPENDS "${_depends}")
  target_sources(${target} PRIVATE ${_script})
endfunction()
