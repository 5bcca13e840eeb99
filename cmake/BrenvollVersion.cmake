# The program's version has one source, project(VERSION) in CMakeLists.txt:
# it is generated into brenvoll-version.h for the program, its tools and the
# package, so that --version, the about window, the database's version mark
# and the .deb can never disagree.
set(BRENVOLL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${BRENVOLL_GENERATED_DIR}/brenvoll-version.h
    CONTENT "#pragma once\n// Generated from project(VERSION) in CMakeLists.txt.\nconstexpr const char* kBrenvollVersion = \"@PROJECT_VERSION@\";\n"
    @ONLY)
