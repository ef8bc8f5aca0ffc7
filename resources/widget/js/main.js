// Launcher: the page's query string names the service's base address (?server=http://host:port/).
// Without one the page reloads itself with the default address; with one it shows the loading
// overlay and loads the service's start script from that server, which takes over #app.
(function () {
    'use strict';

    // The sample points at this computer; a real package is built with the service's address.
    var DEFAULT_SERVER = 'http://127.0.0.1:8080/';
    var START_SCRIPT = 'start.js';

    function log(text, isError) {
        var box = document.getElementById('log');
        if (!box) {
            return;
        }
        var line = document.createElement('div');
        if (isError) {
            line.className = 'error';
        }
        line.textContent = text;
        box.appendChild(line);
        while (box.childNodes.length > 8) {
            box.removeChild(box.firstChild);
        }
    }

    function queryParameter(name) {
        var pairs = window.location.search.replace(/^\?/, '').split('&');
        for (var i = 0; i < pairs.length; i++) {
            var eq = pairs[i].indexOf('=');
            var key = eq < 0 ? pairs[i] : pairs[i].substring(0, eq);
            if (decodeURIComponent(key) === name) {
                return eq < 0 ? '' : decodeURIComponent(pairs[i].substring(eq + 1).replace(/\+/g, ' '));
            }
        }
        return null;
    }

    // Only an http(s) address is accepted; a missing trailing slash is added so that the start
    // script resolves inside the service's folder.
    function normaliseServer(address) {
        if (!/^https?:\/\/[^\/?#]+/i.test(address)) {
            return null;
        }
        return /\/$/.test(address) ? address : address + '/';
    }

    function showOverlay(visible) {
        var overlay = document.getElementById('loading');
        if (!overlay) {
            overlay = document.createElement('div');
            overlay.id = 'loading';
            overlay.className = 'loading-overlay';
            var spinner = document.createElement('div');
            spinner.className = 'spinner';
            var caption = document.createElement('div');
            caption.className = 'caption';
            caption.textContent = 'Loading…';
            overlay.appendChild(spinner);
            overlay.appendChild(caption);
            document.getElementById('app').appendChild(overlay);
        }
        overlay.className = visible ? 'loading-overlay visible' : 'loading-overlay';
    }

    // The remote's Return key leaves the widget when the service has not taken it over.
    function handleKeys() {
        document.addEventListener('keydown', function (event) {
            if (event.keyCode === 10009 && window.tizen && tizen.application) {
                tizen.application.getCurrentApplication().exit();
            }
        });
    }

    function start() {
        handleKeys();
        var given = queryParameter('server');
        if (given === null || given === '') {
            var page = window.location.href.replace(/[?#].*$/, '');
            window.location.replace(page + '?server=' + encodeURIComponent(DEFAULT_SERVER));
            return;
        }
        var server = normaliseServer(given);
        if (server === null) {
            log('Not an http address: ' + given, true);
            return;
        }

        showOverlay(true);
        log('Loading ' + server + START_SCRIPT);
        var script = document.createElement('script');
        script.src = server + START_SCRIPT;
        script.onload = function () {
            log('Started');
            showOverlay(false);
        };
        script.onerror = function () {
            showOverlay(false);
            log('Cannot load ' + script.src, true);
        };
        document.head.appendChild(script);
    }

    if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', start);
    } else {
        start();
    }
}());
