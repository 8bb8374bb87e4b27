// Handing an HTML document to an outside web browser.
#pragma once

// Shows the URL in a browser the player does not wait for. A missing
// browser only means nothing is shown.
void showInBrowser(const char* url);
