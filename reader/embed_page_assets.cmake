# Makes the C++ source that holds the fleet page's style and script, each with the
# SHA-256 of its text, by which the page's Content-Security-Policy allows it.
#   cmake -DCSS=fleet_page.css -DJS=fleet_page.js -DOUT=fleet_page_assets.cpp -P embed_page_assets.cmake
# Line ends are LF whatever the checkout made of them, so that the hash is that of the
# text the compiler keeps.
function(read_asset file text_var hash_var)
  file(READ "${file}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  if(text MATCHES "\\)telinv_asset\"")
    message(FATAL_ERROR "${file} holds the raw string's end marker")
  endif()
  string(SHA256 hash "${text}")
  set(${text_var} "${text}" PARENT_SCOPE)
  set(${hash_var} "${hash}" PARENT_SCOPE)
endfunction()

read_asset("${CSS}" css css_hash)
read_asset("${JS}" js js_hash)
file(WRITE "${OUT}.new" "// Made by embed_page_assets.cmake from fleet_page.css and fleet_page.js; do not edit.
#include \"fleet_html.h\"

namespace telinv_read {

const char fleet_page_css[] = R\"telinv_asset(${css})telinv_asset\";
const char fleet_page_css_sha256[] = \"${css_hash}\";
const char fleet_page_js[] = R\"telinv_asset(${js})telinv_asset\";
const char fleet_page_js_sha256[] = \"${js_hash}\";

} // namespace telinv_read
")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
