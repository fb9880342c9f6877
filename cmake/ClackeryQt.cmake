# One source, two Qt majors: Qt 5 for Debian's OBS 29, Qt 6 for OBS 30 and later.
if(CLACKERY_QT_MAJOR STREQUAL "5")
  find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets)
elseif(CLACKERY_QT_MAJOR STREQUAL "6")
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)
else()
  message(FATAL_ERROR "CLACKERY_QT_MAJOR must be 5 or 6")
endif()
foreach(component Core Gui Widgets)
  add_library(clackery_qt_${component} INTERFACE)
  target_link_libraries(clackery_qt_${component} INTERFACE Qt${CLACKERY_QT_MAJOR}::${component})
  # No signals or slots of our own: functor connections only, so no moc step.
  target_compile_definitions(clackery_qt_${component} INTERFACE QT_NO_KEYWORDS)
endforeach()
