// The preset flag: set by Import and Template, cleared by Clear. While it is
// set, every configuration read ticks the rows whose retained new value differs
// from the device's, which carries one set of values from device to device.
#pragma once

extern bool g_bPreset;
