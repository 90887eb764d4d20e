/* The module's unique identifier string: the scope of the property list's
   terminology entry, the terminology's event and the key of the last-used
   settings in the host's descriptor registry; and the version, the one place
   it is written (the dialog's title, the About box, tonemap --version).
   Plain preprocessor text so that the resource scripts can include it too. */
#ifndef TONEMAPPING_PLUGIN_IDENTITY_H
#define TONEMAPPING_PLUGIN_IDENTITY_H

#define TM_PLUGIN_UNIQUE_ID "48aa4033-d559-4a5b-8ab6-5e409ad9cbe2"
#define TM_PLUGIN_VERSION_TEXT "1.2"

#endif
