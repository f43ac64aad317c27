# Which Qt the project builds with: 5 (the default) or 6, chosen with
# -DTORVAN_QT=6. The code links the versionless targets (Qt::Core,
# Qt::Widgets, ...), which both provide, so only the packages found differ.
# Shared by the project and the picture generator.
set(TORVAN_QT 5 CACHE STRING "Qt major version to build with: 5 or 6")
set_property(CACHE TORVAN_QT PROPERTY STRINGS 5 6)
if(NOT TORVAN_QT MATCHES "^[56]$")
  message(FATAL_ERROR "TORVAN_QT must be 5 or 6, not '${TORVAN_QT}'")
endif()

# torvan_find_qt(<component>...): the given Qt modules of the chosen version.
# Qt 5 needs 5.15, the first release with the versionless targets.
macro(torvan_find_qt)
  if(TORVAN_QT EQUAL 5)
    find_package(Qt5 5.15 REQUIRED COMPONENTS ${ARGN})
  else()
    find_package(Qt6 REQUIRED COMPONENTS ${ARGN})
  endif()
endmacro()

# torvan_find_qcustomplot(): the chart library built for the chosen Qt (Debian
# ships both builds in one package, under different names), as the target
# named in TORVAN_QCUSTOMPLOT.
macro(torvan_find_qcustomplot)
  if(TORVAN_QT EQUAL 5)
    find_package(QCustomPlot CONFIG REQUIRED)
    set(TORVAN_QCUSTOMPLOT QCustomPlot::QCustomPlot)
  else()
    find_package(QCustomPlotQt6 CONFIG REQUIRED)
    set(TORVAN_QCUSTOMPLOT QCustomPlotQt6::QCustomPlotQt6)
  endif()
endmacro()
