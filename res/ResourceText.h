// Texts that both the resource script and the headless window back end need, kept once.
#pragma once

#define TEXT_ABOUTBOX_MENU "&About Daltrix..."
#define TEXT_RESTORE_MENU "Återställ tqsys.dsn från tqsys.bak..."
#define TEXT_MAIN_CAPTION "Konvertera Varnik Lön till version 3.x"
#define TEXT_ABOUT_CAPTION "About Daltrix"
