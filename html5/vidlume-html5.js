/*
 * Vidlume HTML5 player.
 *
 * A Vidlume page shows its video through a Flash element (an object element with
 * an embed element inside). In a browser without a Flash plug-in this script puts
 * an HTML5 video player in the object element's place, with the settings that the
 * embed element hands to the Flash player in its flashvars attribute. FLV files
 * are played through mpegts.js, which the page loads before this script.
 *
 * Plain ES5, no build step.
 */
(function () {
    'use strict';

    var LOG_PREFIX = 'Vidlume HTML5 player: ';

    function hasFlash() {
        var mimeTypes = navigator.mimeTypes;
        var flash = mimeTypes && mimeTypes['application/x-shockwave-flash'];
        if (flash && flash.enabledPlugin) {
            return true;
        }
        // Old Internet Explorer hosts Flash as an ActiveX control and lists no plug-in.
        if (typeof window.ActiveXObject !== 'undefined' || 'ActiveXObject' in window) {
            try {
                return !!new window.ActiveXObject('ShockwaveFlash.ShockwaveFlash');
            } catch (e) {
                return false;
            }
        }
        return false;
    }

    function decodeValue(text) {
        // "+" stands for itself here: the page writes a plus sign as %2B and a
        // space as a space.
        try {
            return decodeURIComponent(text);
        } catch (e) {
            return text; // a stray "%" that was never an escape
        }
    }

    /* The key=value pairs of a flashvars text, split on "&" and at the first "=". */
    function parseFlashvars(text) {
        var vars = {};
        var pairs = (text || '').split('&');
        for (var i = 0; i < pairs.length; i++) {
            if (pairs[i] === '') {
                continue;
            }
            var eq = pairs[i].indexOf('=');
            var key = eq < 0 ? pairs[i] : pairs[i].substring(0, eq);
            var value = eq < 0 ? '' : pairs[i].substring(eq + 1);
            vars[decodeValue(key)] = decodeValue(value);
        }
        return vars;
    }

    function paramValue(object, name) {
        var params = object.getElementsByTagName('param');
        for (var i = 0; i < params.length; i++) {
            if ((params[i].getAttribute('name') || '').toLowerCase() === name) {
                return params[i].getAttribute('value');
            }
        }
        return null;
    }

    /* A size attribute as a CSS length: plain digits are pixels, anything else is
       handed over as written (the browser ignores what it cannot read). */
    function cssLength(text) {
        return /^\s*\d+\s*$/.test(text || '') ? parseInt(text, 10) + 'px' : text || '';
    }

    function positiveInteger(text) {
        var n = parseInt(text, 10);
        return isFinite(n) && n > 0 ? n : 0;
    }

    function findFlashElements() {
        var embeds = document.getElementsByTagName('embed');
        for (var i = 0; i < embeds.length; i++) {
            if (embeds[i].getAttribute('flashvars') === null) {
                continue;
            }
            var object = embeds[i].parentNode;
            while (object && (object.nodeName || '').toLowerCase() !== 'object') {
                object = object.parentNode;
            }
            return {embed: embeds[i], object: object};
        }
        return null;
    }

    function makeLogo(vars, objectVars) {
        var img = document.createElement('img');
        img.src = vars.logo;
        img.alt = '';
        img.style.display = 'block';
        img.style.border = '0';
        var alpha = parseInt(vars.logoalpha, 10);
        if (isFinite(alpha)) {
            img.style.opacity = String(Math.max(0, Math.min(100, alpha)) / 100);
        }
        // The embed element always says 100 here; the width that was typed in
        // reaches only the object element's flashvars.
        var width = positiveInteger(objectVars.logowidth) || positiveInteger(vars.logowidth);
        if (width) {
            img.style.width = width + 'px';
        }

        var box = img;
        if (vars.logolink) {
            box = document.createElement('a');
            box.href = vars.logolink;
            box.target = '_blank';
            box.rel = 'noopener';
            box.appendChild(img);
        }
        box.className = 'vidlume-logo';
        box.style.position = 'absolute';
        box.style.zIndex = '1';
        box.style.lineHeight = '0';
        var corner = (vars.logoposition || 'top left').split(' ');
        box.style[corner[0] === 'bottom' ? 'bottom' : 'top'] = '0';
        box.style[corner[1] === 'right' ? 'right' : 'left'] = '0';
        return box;
    }

    function showFailure(wrapper) {
        var note = document.createElement('div');
        note.className = 'vidlume-failure';
        note.style.position = 'absolute';
        note.style.left = '0';
        note.style.right = '0';
        note.style.top = '45%';
        note.style.textAlign = 'center';
        note.style.color = '#fff';
        note.style.font = '14px sans-serif';
        note.appendChild(document.createTextNode('This video cannot be played in this browser.'));
        wrapper.appendChild(note);
    }

    function makePlayer(found, vars) {
        var objectVars = found.object ? parseFlashvars(paramValue(found.object, 'flashvars')) : {};
        var sizeSource = found.object || found.embed;

        var wrapper = document.createElement('div');
        wrapper.className = 'vidlume-html5';
        wrapper.style.position = 'relative';
        wrapper.style.display = 'inline-block';
        wrapper.style.verticalAlign = 'top';
        wrapper.style.width = cssLength(sizeSource.getAttribute('width'));
        wrapper.style.height = cssLength(sizeSource.getAttribute('height'));

        var video = document.createElement('video');
        video.controls = true;
        video.preload = 'auto';
        video.style.display = 'block';
        video.style.width = '100%';
        video.style.height = '100%';
        video.style.background = '#000';
        if (vars.poster) {
            video.poster = vars.poster;
        }
        if (vars.autostart === 'true') {
            // Browsers start a video by themselves only when it is muted.
            video.muted = true;
            video.defaultMuted = true;
            video.setAttribute('muted', '');
            video.autoplay = true;
        }
        wrapper.appendChild(video);

        if (vars.logo) {
            wrapper.appendChild(makeLogo(vars, objectVars));
        }
        return {wrapper: wrapper, video: video};
    }

    function start() {
        if (hasFlash()) {
            return;
        }
        var found = findFlashElements();
        if (!found) {
            return;
        }
        var vars = parseFlashvars(found.embed.getAttribute('flashvars'));
        if (!vars.source) {
            return;
        }
        var mpegts = window.mpegts;
        if (!mpegts || typeof mpegts.createPlayer !== 'function') {
            console.warn(LOG_PREFIX + 'mpegts.js is not loaded; the page is left as it is.');
            return;
        }
        if (!mpegts.isSupported()) {
            console.warn(LOG_PREFIX + 'this browser cannot play FLV video (no Media Source Extensions ' +
                         'with H.264); the page is left as it is.');
            return;
        }

        if (mpegts.LoggingControl) {
            // Keep a visitor's console to warnings and errors.
            mpegts.LoggingControl.enableDebug = false;
            mpegts.LoggingControl.enableVerbose = false;
            mpegts.LoggingControl.enableInfo = false;
        }

        var built;
        var player;
        try {
            built = makePlayer(found, vars);
            player = mpegts.createPlayer({
                type: 'flv',
                isLive: false,
                url: new URL(vars.source, document.baseURI).href
            });
        } catch (e) {
            console.error(LOG_PREFIX + 'cannot set up the player; the page is left as it is.', e);
            return;
        }

        var old = found.object || found.embed;
        old.parentNode.replaceChild(built.wrapper, old);
        // mpegts.js reports a failure once per frame; one report and a stop will do.
        var failed = false;
        player.on(mpegts.Events.ERROR, function (type, detail, info) {
            if (failed) {
                return;
            }
            failed = true;
            console.error(LOG_PREFIX + 'playback failed: ' + type + ', ' + detail +
                          (info && info.msg ? ', ' + info.msg : ''));
            setTimeout(function () {
                player.destroy();
                showFailure(built.wrapper);
            }, 0);
        });
        player.attachMediaElement(built.video);
        player.load();
    }

    if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', start);
    } else {
        start();
    }
})();
