#pragma once
// Makes every window class of the program known to the window registry.

void registerWindows();
