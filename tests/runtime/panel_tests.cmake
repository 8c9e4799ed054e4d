# Panel and plot service tests: real widgets driven with Qt Test, offscreen.
evok_test(panel_test LIBS evok Qt6::Test SOURCES panel_test.cpp indicator_test.cpp)
