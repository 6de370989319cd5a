# The hex viewer's page and picking logic, without widgets or Qt: the windows use it, and so does
# the fuzz build, which builds nothing of Qt.
add_library(kestrine_hexpage STATIC ${CMAKE_CURRENT_LIST_DIR}/hexview/HexPage.h
            ${CMAKE_CURRENT_LIST_DIR}/hexview/HexPage.cpp)
set_target_properties(kestrine_hexpage PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
kestrine_layer(kestrine_hexpage ui core platform)
target_link_libraries(kestrine_hexpage PUBLIC kestrine_core)
