# The window elements: the window element base, the main form and the other visual elements,
# with their tests (Win32 builds only). The hint manager stays in fliran_program, which the
# elements link.

add_library(fliran_visual STATIC
  visual/win.cpp
  visual/main_form.cpp
  visual/button.cpp
  visual/track_bar.cpp
  visual/label.cpp
  visual/edit.cpp
  visual/image.cpp
  visual/win_list.cpp
  visual/memo.cpp
  visual/combo_box.cpp
)
target_link_libraries(fliran_visual PUBLIC fliran_program advapi32)

fliran_add_test(visual_tests
  tests/visual/visual_test.cpp
  tests/visual/win_test.cpp
  tests/visual/main_form_test.cpp
  tests/visual/controls_test.cpp
  tests/visual/text_picture_test.cpp
  tests/visual/list_test.cpp
  LIBS fliran_test_support fliran_visual
  TIMEOUT 120
)
