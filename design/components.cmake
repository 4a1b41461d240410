# Surfaces, components, button styles, pointer handling, the segmented switch and the gallery of
# the QuilloryDesign module.
target_sources(quillory_design PRIVATE
  attached_tree.cpp
  attached_tree.h
  design_control.cpp
  design_control.h
  design_material_mode.cpp
  design_material_mode.h
  dot_grid.cpp
  dot_grid.h
  gaussian_shadow.cpp
  gaussian_shadow.h
  graphemes.cpp
  graphemes.h
  pointer_cursor.cpp
  pointer_cursor.h
  top_rim.cpp
  top_rim.h
  window_shadow.cpp
  window_shadow.h)

set_source_files_properties(components/ConnectionCopy.qml PROPERTIES QT_QML_SINGLETON_TYPE TRUE)
qt_target_qml_sources(quillory_design
  QML_FILES
    components/CompanionButtonStyle.qml
    components/CompanionInlineButtonStyle.qml
    components/ConnectionCopy.qml
    components/ConnectionStatusLabel.qml
    components/ControlFace.qml
    components/ControlSurface.qml
    components/CrossFadeText.qml
    components/DesignControlGroup.qml
    components/DesignNotice.qml
    components/DesignPlainButtonStyle.qml
    components/DesignPressStyle.qml
    components/DesignRule.qml
    components/DesignShadow.qml
    components/DesignSwitch.qml
    components/DesignSystemGallery.qml
    components/DesignToolTip.qml
    components/FloatingIconButtonStyle.qml
    components/FocusRing.qml
    components/GalleryPicker.qml
    components/GallerySegments.qml
    components/IconLabel.qml
    components/IconTile.qml
    components/PadCard.qml
    components/PadControl.qml
    components/PadRow.qml
    components/PadSectionHeader.qml
    components/PairingCodeView.qml
    components/PanelFinish.qml
    components/PillButtonStyle.qml
    components/PointerHover.qml
    components/SegmentedSwitch.qml
    components/StatusDot.qml
    components/VorelTile.qml
    components/WellFinish.qml)

add_subdirectory(components/tests)
