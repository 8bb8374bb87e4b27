// Handing an HTML document to the outside web browser.
#pragma once

// Asks a running browser to show the URL; when that fails, starts a new
// browser on it in the background. A missing browser only means nothing is
// shown.
void showInBrowser(const char* url);
