# Compile settings shared by every target of the project.
add_library(snipwave_options INTERFACE)
target_compile_features(snipwave_options INTERFACE cxx_std_17)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(snipwave_options INTERFACE -Wall -Wextra)
target_compile_definitions(snipwave_options INTERFACE
    QT_DEPRECATED_WARNINGS
    QT_NO_FOREACH
    QT_USE_QSTRINGBUILDER
)
