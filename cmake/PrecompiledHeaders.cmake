# Precompiled headers: each target parses the heavy headers that most of its files include (the standard library,
# nlohmann-json, Qt, QCoro, GoogleTest) once, instead of once in every file. A target gets only headers its own
# files may include: the plain C++ layers get no Qt, and only the tests get GoogleTest.
#
#   velto_precompile_headers(target [JSON] [QT] [QCORO] [WIDGETS] [GTEST])
#
# A layer's test executable takes its layer's headers and GoogleTest (velto_precompile_test_headers).
option(VELTO_PRECOMPILED_HEADERS "Precompile the heavy headers once per target" ON)

set(velto_pch_standard <algorithm> <chrono> <cstddef> <cstdint> <filesystem> <functional> <map> <memory>
    <optional> <set> <stdexcept> <string> <string_view> <utility> <vector>)
set(velto_pch_json <nlohmann/json.hpp>)
set(velto_pch_qt <QtCore/QObject> <QtCore/QPointer> <QtCore/QString> <QtCore/QTimer>)
set(velto_pch_qcoro <qcoro/qcorotask.h>)
set(velto_pch_widgets <QtGui/QPainter> <QtWidgets/QApplication> <QtWidgets/QLabel> <QtWidgets/QWidget>)
set(velto_pch_gtest <gtest/gtest.h>)

function(velto_precompile_headers target)
    cmake_parse_arguments(PARSE_ARGV 1 with "JSON;QT;QCORO;WIDGETS;GTEST" "" "")
    set(kinds)
    foreach(kind JSON QT QCORO WIDGETS GTEST)
        if(with_${kind})
            list(APPEND kinds ${kind})
        endif()
    endforeach()
    set_target_properties(${target} PROPERTIES VELTO_PRECOMPILED_KINDS "${kinds}")
    if(NOT VELTO_PRECOMPILED_HEADERS)
        return()
    endif()
    set(headers ${velto_pch_standard})
    foreach(kind ${kinds})
        string(TOLOWER ${kind} kind)
        list(APPEND headers ${velto_pch_${kind}})
    endforeach()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# The test executable TESTS of the layer target LAYER: the layer's headers and GoogleTest.
function(velto_precompile_test_headers tests layer)
    get_target_property(kinds ${layer} VELTO_PRECOMPILED_KINDS)
    if(NOT kinds)
        set(kinds)
    endif()
    velto_precompile_headers(${tests} ${kinds} GTEST)
endfunction()
