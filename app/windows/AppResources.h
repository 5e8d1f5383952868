#pragma once

// Resource ids shared by the program and its resource script.
#define ORVANE_IDI_APP 1
