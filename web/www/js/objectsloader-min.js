/* Kestrava encoder browser client: loads the generated "objects.js" (a new web session), then the client. */
(function () {
  'use strict';
  function determineUrlInstancePrefix() {
    var m = /^\/instance(\d+)/.exec(window.location.pathname);
    return m && Number(m[1]) !== 0 ? GLOBAL_PREFIX + 'instance' + Number(m[1]) + '/' : GLOBAL_PREFIX;
  }
  window.lmxUrl = window.location.host;
  [determineUrlInstancePrefix() + 'objects.js', GLOBAL_PREFIX + 'js/dynamic-min.js'].forEach(function (src) {
    var s = document.createElement('script');
    s.async = false;
    s.src = src;
    document.body.appendChild(s);
  });
})();
