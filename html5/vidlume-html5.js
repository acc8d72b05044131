/*
 * Vidlume HTML5 player.
 *
 * A Vidlume page shows its video through a Flash element (an object element with
 * an embed element inside). In a browser without a Flash plug-in this script puts
 * an HTML5 video player in the object element's place, with the settings that the
 * embed element hands to the Flash player in its flashvars attribute. The page
 * text is never changed by publishing for this: everything below happens here, at
 * run time.
 *
 * What it plays. Publishing places a browser-ready MP4 beside the video: the
 * flashvars source with a final ".flv" (any case) replaced by ".mp4", or with
 * ".mp4" added. The player plays that MP4 in a plain <video> element, which works
 * for pages opened from a file as well as over HTTP. A source that does not end in
 * ".flv" (a video that was an MP4 already) is tried first as it is, then the MP4.
 *
 * Addresses. A reference without a scheme (a file name or a relative or absolute
 * path, as the window writes them) is a file path: each segment between "/" is
 * percent-encoded as a file name ("#" -> %23, "%" -> %25, "?" -> %3F, a space ->
 * %20, other characters as UTF-8 bytes). A reference with a scheme ("http://...",
 * "file://...", "//host/...", "data:", "blob:") is used as typed. This holds for
 * the video, the MP4, the poster and the logo; the logo link is a web address and
 * is used as typed.
 *
 * Captions. The script cannot list a folder, and a page opened from a file may not
 * read other files with fetch or a <track> address, but it may load a script. So
 * publishing writes, beside the MP4, a caption list "<MP4 stem>.captions.js"
 * ("holiday.captions.js" for "holiday.mp4"), a UTF-8 file holding one call:
 *
 *     vidlumeCaptions([
 *         {"file": "holiday.en.vtt", "lang": "en", "vtt": "WEBVTT\n\n00:00:01.000 --> ..."},
 *         {"file": "holiday.vtt", "lang": "", "vtt": "WEBVTT\n\n..."}
 *     ]);
 *
 * Its argument is JSON (with U+2028 and U+2029 escaped): one entry per WebVTT file
 * written beside the MP4 as "<stem>.vtt" or "<stem>.<lang>.vtt", in the order to
 * offer them. "vtt" holds that file's whole text; "lang" is the language tag from
 * the name or ""; an optional "label" overrides the label shown, which otherwise is
 * the language's name in the visitor's language, or "Captions". An entry without
 * "vtt" is loaded from "file" (over HTTP only). Publishing writes the list with the
 * HTML5 option even when it is empty ("vidlumeCaptions([]);"), so that the browser
 * has no missing file to report; a folder without it just offers no captions. Each
 * entry becomes a <track> of kind "captions", off until the visitor turns it on.
 *
 * Plain ES5, no build step. Under Node.js (tests) it only exports its helpers.
 */
(function () {
    'use strict';

    var LOG_PREFIX = 'Vidlume HTML5 player: ';
    // Height of the browsers' own controls at the bottom of a <video> (Chromium
    // draws its buttons and timeline in the lowest 64 px, at any player size); a
    // logo in a bottom corner sits above them so that it never covers a control.
    var CONTROLS_HEIGHT = 72;
    var SEEK_STEP = 5;
    var LONG_SEEK_STEP = 10;
    var VOLUME_STEP = 0.1;
    var SOUND_HINT_MS = 5000;
    var SPEEDS = [0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2];
    // Announcements that come within this time of each other are said together,
    // the last of each kind only.
    var ANNOUNCE_MS = 250;
    var KEYS_HELP = 'Keys: Space or K plays and pauses; J, L and the arrows left and right seek; ' +
                    'Home, End and 0 to 9 jump; the arrows up and down set the volume; M mutes; ' +
                    'C turns captions on and off; < and > set the speed; P picture in picture; F full screen.';

    /* ---- Addresses ---------------------------------------------------------- */

    function hasScheme(reference) {
        return /^[A-Za-z][A-Za-z0-9+.\-]*:\/\//.test(reference) || /^\/\//.test(reference) ||
               /^(data|blob):/i.test(reference);
    }

    function encodeSegment(segment) {
        try {
            return encodeURIComponent(segment);
        } catch (e) {
            return escape(segment); // a lone surrogate: never from a decoded page value
        }
    }

    /* The address under which the browser finds a referenced file. */
    function referenceToAddress(reference) {
        if (hasScheme(reference)) {
            return reference;
        }
        return reference.split('/').map(encodeSegment).join('/');
    }

    /* The reference of the browser-ready MP4 that publishing makes beside the video. */
    function mp4Reference(source) {
        return replaceEnding(source, /\.flv$/i, '.mp4', '.mp4');
    }

    /* The reference of the caption list that publishing writes beside the MP4. */
    function captionsReference(source) {
        return replaceEnding(mp4Reference(source), /\.mp4$/, '.captions.js', '.captions.js');
    }

    /* Applies a name rule to the path of a reference: a whole file path, or, for a
       reference with a scheme, the part before its query or fragment. */
    function replaceEnding(reference, ending, replacement, addition) {
        var path = reference;
        var rest = '';
        if (hasScheme(reference)) {
            var cut = reference.search(/[?#]/);
            if (cut >= 0) {
                path = reference.substring(0, cut);
                rest = reference.substring(cut);
            }
        }
        path = ending.test(path) ? path.replace(ending, replacement) : path + addition;
        return path + rest;
    }

    /* The file name part of a reference, decoded for a reference with a scheme. */
    function fileNameOf(reference) {
        var path = reference;
        if (hasScheme(reference)) {
            path = reference.replace(/[?#].*$/, '');
            try {
                path = decodeURIComponent(path);
            } catch (e) {
                // shown as typed
            }
        }
        return path.substring(path.lastIndexOf('/') + 1);
    }

    function stemOf(name) {
        var dot = name.lastIndexOf('.');
        return dot > 0 ? name.substring(0, dot) : name;
    }

    /* The order in which the player tries addresses for a source. */
    function playbackReferences(source) {
        var mp4 = mp4Reference(source);
        return /\.flv$/i.test(fileNameOf(source)) ? [mp4] : [source, mp4];
    }

    /* ---- The page's settings -------------------------------------------------- */

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

    // The characters that windows-1252 gives the bytes 0x80 to 0x9F.
    var WINDOWS_1252_HIGH = '\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039' +
                            '\u0152\u008d\u017d\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014' +
                            '\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178';

    /* A Vidlume page names no character set, so a browser may read its UTF-8
       bytes as windows-1252: "Caf\u00e9" arrives as "Caf\u00c3\u00a9". A text that,
       turned back into those bytes, is well-formed UTF-8 is read as UTF-8; any
       other text (a page written in a single-byte code page) is kept. */
    function repairEncoding(text, charset) {
        if (!/^(windows-1252|iso-8859-1|us-ascii)$/i.test(charset || '') || !/[^\x00-\x7f]/.test(text || '') ||
            typeof TextDecoder === 'undefined') {
            return text;
        }
        var bytes = new Uint8Array(text.length);
        for (var i = 0; i < text.length; i++) {
            var code = text.charCodeAt(i);
            if (code < 0x80 || (code >= 0xa0 && code <= 0xff)) {
                bytes[i] = code;
            } else {
                var high = WINDOWS_1252_HIGH.indexOf(text.charAt(i));
                if (high < 0) {
                    return text;
                }
                bytes[i] = 0x80 + high;
            }
        }
        try {
            return new TextDecoder('utf-8', {fatal: true}).decode(bytes);
        } catch (e) {
            return text;
        }
    }

    function positiveInteger(text) {
        var n = /^\s*\d+\s*$/.test(text || '') ? parseInt(text, 10) : 0;
        return n > 0 ? n : 0;
    }

    function leadingInteger(text) {
        var n = parseInt(text, 10);
        return isFinite(n) && n > 0 ? n : 0;
    }

    if (typeof module !== 'undefined' && module.exports) {
        module.exports = {
            referenceToAddress: referenceToAddress,
            mp4Reference: mp4Reference,
            captionsReference: captionsReference,
            playbackReferences: playbackReferences,
            parseFlashvars: parseFlashvars,
            fileNameOf: fileNameOf,
            repairEncoding: repairEncoding,
        };
        return;
    }

    /* ---- The page ---------------------------------------------------------------- */

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

    function paramValue(object, name) {
        var params = object.getElementsByTagName('param');
        for (var i = 0; i < params.length; i++) {
            if ((params[i].getAttribute('name') || '').toLowerCase() === name) {
                return params[i].getAttribute('value');
            }
        }
        return null;
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

    /* A phone lays out a page without a viewport declaration 980 px wide and
       shrinks it; with one the player and its controls show at their real size. */
    function declareViewport() {
        var metas = document.getElementsByTagName('meta');
        for (var i = 0; i < metas.length; i++) {
            if ((metas[i].getAttribute('name') || '').toLowerCase() === 'viewport') {
                return;
            }
        }
        var meta = document.createElement('meta');
        meta.name = 'viewport';
        meta.content = 'width=device-width, initial-scale=1';
        (document.head || document.documentElement).appendChild(meta);
    }

    /* A text of the page, as its author wrote it (see repairEncoding). */
    function pageValue(text) {
        return text === null ? null : repairEncoding(text, document.characterSet || document.charset);
    }

    function nameTheTab(source) {
        if (!/\S/.test(document.title)) {
            document.title = stemOf(fileNameOf(source));
        }
    }

    // The player's own elements first go back to the browser's own look, so that
    // no rule of the page (its "a:hover" paints a pale box) changes how they look.
    // The id in the scope outweighs the page's rules for elements, classes and
    // states; the player's rules after the reset carry at least the same weight.
    var SCOPE = '.vidlume-html5:not(#vidlume-unused)';
    var STYLE = [
        '&,& a,& img,& span,& div,& button,& video{all:revert}',
        '&{position:relative;display:inline-block;vertical-align:top;max-width:100%;margin:0;padding:0;',
        'border:0;background:#000;text-align:left;line-height:normal;outline:none}',
        // Two colours: one of them stands out by 3:1 or more from any background.
        '&:focus-visible,& .vidlume-sound:focus-visible,& .vidlume-logo:focus-visible{',
        'outline:3px solid #fff;outline-offset:0;box-shadow:0 0 0 6px #000}',
        // ...but not while the focus came from a tap or click, until the next key.
        '&.vidlume-pointer:focus-visible{outline:none;box-shadow:none}',
        '& video{display:block;width:100%;height:100%;background:#000;outline:none}',
        '& .vidlume-picture{position:absolute;left:0;top:0;width:100%;height:100%;pointer-events:none}',
        '& .vidlume-logo{position:absolute;z-index:1;display:block;line-height:0;background:transparent;',
        'pointer-events:auto}',
        '& .vidlume-logo img{display:block;border:0;padding:0;margin:0;width:100%;height:auto}',
        '& .vidlume-sound{position:absolute;z-index:2;top:8px;left:50%;transform:translateX(-50%);',
        'display:flex;align-items:center;gap:6px;margin:0;padding:6px 12px;border:2px solid #fff;',
        'border-radius:18px;background:rgba(0,0,0,.78);color:#fff;font:bold 14px/20px sans-serif;',
        'cursor:pointer;white-space:nowrap}',
        '& .vidlume-sound svg{width:20px;height:20px;fill:#fff}',
        '& .vidlume-failure{position:absolute;z-index:3;left:0;top:0;right:0;bottom:0;display:flex;',
        'align-items:center;justify-content:center;box-sizing:border-box;padding:1em 8%;overflow:hidden;',
        'background:#111;color:#fff;text-align:center;font-family:sans-serif;line-height:1.35}',
        '& .vidlume-status{position:absolute;width:1px;height:1px;margin:-1px;padding:0;border:0;',
        'overflow:hidden;clip:rect(0 0 0 0);clip-path:inset(50%);white-space:nowrap}',
        // On a phone the player fills the width it has, its aspect ratio kept.
        '@media (max-width:480px){&{width:100%!important}}',
        // No fading or moving for a visitor who asked the system for less motion,
        // the browser's own controls included where it lets a page say so.
        '@media (prefers-reduced-motion:reduce){&,& *,& video::-webkit-media-controls-panel,',
        '& video::-webkit-media-controls-overlay-play-button{transition:none!important;animation:none!important;',
        'scroll-behavior:auto!important}}',
    ].join('').replace(/&/g, SCOPE);

    function addStyle() {
        var style = document.createElement('style');
        style.appendChild(document.createTextNode(STYLE));
        (document.head || document.documentElement).appendChild(style);
    }

    /* The player's texts are English: a page that names no language gets it. */
    function declareLanguage() {
        var root = document.documentElement;
        if (root && !/\S/.test(root.getAttribute('lang') || '')) {
            root.setAttribute('lang', 'en');
        }
    }

    /* Whether the browser shows the focus on element as the keyboard's. */
    function byKeyboard(element) {
        try {
            return element.matches(':focus-visible');
        } catch (e) {
            return false; // a browser without :focus-visible
        }
    }

    function overlap(a, b) {
        return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.left < b.right &&
               b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }

    /* "1:05" or "1:02:05". */
    function clockText(seconds) {
        var s = Math.max(0, Math.floor(seconds || 0));
        var h = Math.floor(s / 3600);
        var m = Math.floor(s / 60) % 60;
        var rest = (s % 60 < 10 ? '0' : '') + (s % 60);
        return h ? h + ':' + (m < 10 ? '0' : '') + m + ':' + rest : m + ':' + rest;
    }

    /* Where a link goes, in a few words: the host of an address with one, or the
       address as typed. */
    function linkDestination(address) {
        var match = /^[A-Za-z][A-Za-z0-9+.\-]*:\/\/([^\/?#]+)/.exec(address) || /^\/\/([^\/?#]+)/.exec(address);
        return match ? match[1].replace(/^[^@]*@/, '') : address;
    }

    /* ---- The player ------------------------------------------------------------ */

    function Player(found, vars) {
        this.vars = vars;
        var objectVars = found.object ? parseFlashvars(pageValue(paramValue(found.object, 'flashvars'))) : {};
        var sizeSource = found.object || found.embed;
        var widthText = sizeSource.getAttribute('width') || '';
        var heightText = sizeSource.getAttribute('height') || '';
        this.width = positiveInteger(widthText);
        this.height = positiveInteger(heightText);

        var wrapper = document.createElement('div');
        this.wrapper = wrapper;
        wrapper.className = 'vidlume-html5';
        wrapper.tabIndex = 0;
        wrapper.setAttribute('role', 'region');
        wrapper.setAttribute('aria-label', 'Video player: ' + stemOf(fileNameOf(vars.source)));
        wrapper.setAttribute('aria-roledescription', 'video player');
        if (this.width && this.height) {
            // Never wider than the page, the chosen size's aspect ratio kept.
            wrapper.style.width = this.width + 'px';
            wrapper.style.aspectRatio = this.width + ' / ' + this.height;
            if (!wrapper.style.aspectRatio) {
                wrapper.style.height = this.height + 'px';
                this.sizeByScript = true;
            }
        } else {
            // A size that is not plain pixels is handed over as written.
            wrapper.style.width = widthText ? (this.width ? this.width + 'px' : widthText) : '640px';
            wrapper.style.height = heightText ? (this.height ? this.height + 'px' : heightText) : '480px';
        }

        var video = document.createElement('video');
        this.video = video;
        video.controls = true;
        // Metadata only until the visitor plays: opening the page must not cost the
        // whole video. Autoplay, and the first play, ask for all of it.
        video.preload = vars.autostart === 'true' ? 'auto' : 'metadata';
        video.addEventListener('play', function () {
            video.preload = 'auto';
        });
        // A tab stop after the player box: from there the browser's own controls,
        // its speed and picture-in-picture menu among them, are reached by Tab.
        video.tabIndex = 0;
        video.setAttribute('aria-label', 'Video: ' + stemOf(fileNameOf(vars.source)));
        video.setAttribute('playsinline', '');
        if (vars.poster) {
            video.poster = referenceToAddress(vars.poster);
        }
        if (vars.autostart === 'true') {
            // Browsers start a video by themselves only when it is muted.
            video.muted = true;
            video.defaultMuted = true;
            video.setAttribute('muted', '');
            video.autoplay = true;
        }
        wrapper.appendChild(video);

        // The area that the picture takes inside the player: the logo's corners.
        this.picture = document.createElement('div');
        this.picture.className = 'vidlume-picture';
        wrapper.appendChild(this.picture);
        // A logo at opacity 0 cannot be seen: it is left out, so that nobody
        // clicks or tabs onto it by accident.
        if (vars.logo && parseInt(vars.logoalpha, 10) !== 0) {
            this.logo = this.makeLogo(objectVars);
            this.picture.appendChild(this.logo);
        }

        this.status = document.createElement('div');
        this.status.className = 'vidlume-status';
        this.status.setAttribute('role', 'status');
        this.status.setAttribute('aria-live', 'polite');
        wrapper.appendChild(this.status);
        this.said = {};
        // What the keys do, read out with the player's name.
        var help = document.createElement('div');
        help.className = 'vidlume-status';
        help.id = 'vidlume-keys-' + Math.floor(Math.random() * 1e9);
        help.appendChild(document.createTextNode(KEYS_HELP));
        wrapper.appendChild(help);
        wrapper.setAttribute('aria-describedby', help.id);
        this.fontSize();
    }

    /* Text over the player grows and shrinks with it. */
    Player.prototype.fontSize = function () {
        var shown = this.wrapper.offsetWidth || this.width || 640;
        this.wrapper.style.fontSize = Math.max(12, Math.min(22, Math.round(shown / 28))) + 'px';
    };

    Player.prototype.layout = function () {
        var wrapper = this.wrapper;
        if (this.width && this.height) {
            // Never taller than the window, so that the controls stay in sight: the
            // width gives way and the aspect ratio stays. The page's margin above
            // the player is kept below it too.
            var top = Math.max(0, wrapper.getBoundingClientRect().top + (window.pageYOffset || 0));
            var room = Math.max(window.innerHeight / 2, window.innerHeight - 2 * top);
            var widest = Math.floor(room * this.width / this.height);
            wrapper.style.maxWidth = 'min(100%, ' + widest + 'px)';
            if (!wrapper.style.maxWidth) {
                wrapper.style.maxWidth = widest < this.width ? widest + 'px' : '100%';
            }
            if (this.sizeByScript) {
                var space = wrapper.parentNode ? wrapper.parentNode.clientWidth : 0;
                var shown = Math.min(this.width, widest, space || this.width);
                wrapper.style.width = shown + 'px';
                wrapper.style.height = Math.round(shown * this.height / this.width) + 'px';
            }
        }
        this.fontSize();
        this.placePicture();
        this.placeSoundHint();
    };

    /* The picture keeps its aspect ratio inside the player (in full screen too):
       the logo goes into the picture's corner, never onto the black bars beside
       it, and a logo in a bottom corner stays above the controls. */
    Player.prototype.placePicture = function () {
        var picture = this.picture;
        var video = this.video;
        var width = this.wrapper.clientWidth;
        var height = this.wrapper.clientHeight;
        var shownWidth = width;
        var shownHeight = height;
        if (video && video.videoWidth && video.videoHeight && width && height) {
            if (video.videoWidth * height > width * video.videoHeight) {
                shownHeight = width * video.videoHeight / video.videoWidth;
            } else {
                shownWidth = height * video.videoWidth / video.videoHeight;
            }
        }
        picture.style.left = (width - shownWidth) / 2 + 'px';
        picture.style.top = (height - shownHeight) / 2 + 'px';
        picture.style.width = shownWidth + 'px';
        picture.style.height = shownHeight + 'px';
        if (this.logo && this.logo.style.bottom) {
            var clear = video ? Math.max(0, CONTROLS_HEIGHT - (height - shownHeight) / 2) : 0;
            this.logo.style.bottom = clear + 'px';
        }
    };

    Player.prototype.makeLogo = function (objectVars) {
        var self = this;
        var vars = this.vars;
        var img = document.createElement('img');
        img.src = referenceToAddress(vars.logo);
        img.alt = 'Logo';
        var alpha = parseInt(vars.logoalpha, 10);
        if (isFinite(alpha)) {
            img.style.opacity = String(Math.max(0, Math.min(100, alpha)) / 100);
        }

        var box = document.createElement(vars.logolink ? 'a' : 'span');
        if (vars.logolink) {
            box.href = vars.logolink; // a web address: used as typed
            box.target = '_blank';
            box.rel = 'noopener';
            box.setAttribute('aria-label', 'Logo: ' + linkDestination(vars.logolink) + ' (opens in a new window)');
        }
        box.appendChild(img);
        box.className = 'vidlume-logo';
        var corner = (vars.logoposition || 'top left').split(' ');
        box.style[corner[0] === 'bottom' ? 'bottom' : 'top'] = corner[0] === 'bottom' ? CONTROLS_HEIGHT + 'px' : '0';
        box.style[corner[1] === 'right' ? 'right' : 'left'] = '0';
        this.logoOnTheRight = corner[1] === 'right';

        // The logo keeps its share of the chosen width, so it scales with the
        // picture. The embed element always says 100 here; the width that was
        // typed in reaches only the object element's flashvars.
        var width = leadingInteger(objectVars.logowidth) || leadingInteger(vars.logowidth);
        var chosen = this.width;
        var setWidth = function (pixels) {
            box.style.width = chosen ? (100 * pixels / chosen) + '%' : pixels + 'px';
            box.style.maxWidth = '100%';
        };
        if (width) {
            setWidth(width);
        }
        img.addEventListener('load', function () {
            if (!width) {
                setWidth(img.naturalWidth);
            }
            self.placeSoundHint();
        });
        return box;
    };

    /* ---- Sound --------------------------------------------------------------- */

    var SPEAKER_OFF = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M3 9v6h4l5 5V4L7 9H3z' +
                      'm13.6 3 2.7-2.7-1.4-1.4-2.7 2.7-2.7-2.7-1.4 1.4 2.7 2.7-2.7 2.7 1.4 1.4 ' +
                      '2.7-2.7 2.7 2.7 1.4-1.4z"/></svg>';

    /* Calls back once with true when the video turns out to carry sound, or with
       false when it turns out not to. Browsers tell in different ways: Firefox at
       once, Chromium once it has decoded some sound, or not after 1.5 s of video. */
    function findSound(video, callback) {
        var events = ['loadedmetadata', 'canplay', 'progress', 'timeupdate', 'ended'];
        var done = false;
        var check = function () {
            var answer = null;
            if (video.readyState >= 1 && video.audioTracks && typeof video.audioTracks.length === 'number') {
                answer = video.audioTracks.length > 0;
            } else if (video.readyState >= 1 && typeof video.mozHasAudio === 'boolean') {
                answer = video.mozHasAudio;
            } else if (typeof video.webkitAudioDecodedByteCount === 'number') {
                if (video.webkitAudioDecodedByteCount > 0) {
                    answer = true;
                } else if (video.currentTime > 1.5 || video.ended) {
                    answer = false;
                }
            } else if (video.readyState >= 1) {
                answer = true; // no way to tell: offer it
            }
            if (answer === null || done) {
                return;
            }
            done = true;
            for (var i = 0; i < events.length; i++) {
                video.removeEventListener(events[i], check);
            }
            callback(answer);
        };
        for (var i = 0; i < events.length; i++) {
            video.addEventListener(events[i], check);
        }
        check();
    }

    /* A muted autoplay of a video with sound shows how to get the sound until the
       visitor turns it on, or until it has been seen for a while after the
       visitor's first action. */
    Player.prototype.offerSound = function () {
        var self = this;
        var video = this.video;
        findSound(video, function (hasSound) {
            if (hasSound && self.video === video && video.muted) {
                self.showSoundHint();
            }
        });
    };

    Player.prototype.showSoundHint = function () {
        var self = this;
        var video = this.video;
        var button = document.createElement('button');
        button.type = 'button';
        button.className = 'vidlume-sound';
        var touch = window.matchMedia && window.matchMedia('(pointer: coarse)').matches;
        // Its name is the text it shows.
        button.innerHTML = SPEAKER_OFF + '<span>' + (touch ? 'Tap for sound' : 'Click for sound') + '</span>';
        this.soundButton = button;
        // Before the video, so that it is the first tab stop after the player box.
        this.wrapper.insertBefore(button, video);
        this.placeSoundHint();

        var timer = null;
        var remove = function () {
            if (button.parentNode) {
                button.parentNode.removeChild(button);
            }
            video.removeEventListener('volumechange', onVolume);
            video.removeEventListener('ended', remove);
            document.removeEventListener('pointerdown', onFirstAction, true);
            document.removeEventListener('keydown', onFirstAction, true);
            if (timer) {
                clearTimeout(timer);
            }
            self.soundButton = null;
        };
        var onVolume = function () {
            if (!video.muted && video.volume > 0) {
                remove();
            }
        };
        var onFirstAction = function () {
            document.removeEventListener('pointerdown', onFirstAction, true);
            document.removeEventListener('keydown', onFirstAction, true);
            timer = setTimeout(remove, SOUND_HINT_MS);
        };
        button.addEventListener('click', function (event) {
            event.stopPropagation();
            self.unmute();
            if (self.video.paused) {
                self.play(); // autoplay may have been refused
            }
            self.wrapper.focus();
        });
        video.addEventListener('volumechange', onVolume);
        video.addEventListener('ended', remove); // nothing left to hear
        document.addEventListener('pointerdown', onFirstAction, true);
        document.addEventListener('keydown', onFirstAction, true);
        this.removeSoundButton = remove;
    };

    /* The hint sits at the top in the middle; where that would cover the logo, it
       moves to the other side, and on a player too narrow for both, below a logo
       at the top or above one at the bottom. */
    Player.prototype.placeSoundHint = function () {
        var hint = this.soundButton;
        var logo = this.logo;
        if (!hint) {
            return;
        }
        var style = hint.style;
        style.left = style.right = style.top = style.transform = '';
        if (!logo || !overlap(hint.getBoundingClientRect(), logo.getBoundingClientRect())) {
            return;
        }
        style.transform = 'none';
        style.left = this.logoOnTheRight ? '8px' : 'auto';
        style.right = this.logoOnTheRight ? 'auto' : '8px';
        var logoBox = logo.getBoundingClientRect();
        if (!overlap(hint.getBoundingClientRect(), logoBox)) {
            return;
        }
        var top = this.wrapper.getBoundingClientRect().top;
        var below = logoBox.bottom - top + 8;
        style.top = (logo.style.top ? below : Math.max(0, logoBox.top - top - hint.offsetHeight - 8)) + 'px';
    };

    Player.prototype.unmute = function () {
        var video = this.video;
        if (video.volume === 0) {
            video.volume = VOLUME_STEP;
        }
        video.muted = false;
    };

    Player.prototype.play = function () {
        var started = this.video.play();
        if (started && started.catch) {
            started.catch(function () {}); // a refused play leaves the video paused
        }
    };

    /* ---- Keyboard -------------------------------------------------------------- */

    Player.prototype.toggleFullscreen = function () {
        var d = document;
        var current = d.fullscreenElement || d.webkitFullscreenElement;
        if (current) {
            (d.exitFullscreen || d.webkitExitFullscreen).call(d);
            return;
        }
        var box = this.wrapper;
        var request = box.requestFullscreen || box.webkitRequestFullscreen;
        if (request) {
            var asked = request.call(box);
            if (asked && asked.catch) {
                asked.catch(function () {});
            }
        } else if (this.video.webkitEnterFullscreen) {
            this.video.webkitEnterFullscreen(); // iPhone: only the video itself
        }
    };

    Player.prototype.seekBy = function (seconds) {
        var video = this.video;
        var end = isFinite(video.duration) ? video.duration : Infinity;
        this.seekTo(Math.max(0, Math.min(end, video.currentTime + seconds)));
    };

    /* Moves only where the browser can set the position: a server that ignores
       byte ranges leaves nothing seekable, and a seek there would restart the video. */
    Player.prototype.seekTo = function (time) {
        var ranges = this.video.seekable;
        for (var i = 0; ranges && i < ranges.length; i++) {
            if (time >= ranges.start(i) && time <= ranges.end(i)) {
                this.video.currentTime = time;
                return;
            }
        }
    };

    /* Shows the first captions track, or hides the one showing; false when the
       video has none, so that the key goes to the browser. */
    Player.prototype.toggleCaptions = function () {
        var tracks = this.video.textTracks;
        var first = null;
        for (var i = 0; tracks && i < tracks.length; i++) {
            var track = tracks[i];
            if (track.kind !== 'captions' && track.kind !== 'subtitles') {
                continue;
            }
            if (track.mode === 'showing') {
                track.mode = 'disabled';
                return true;
            }
            first = first || track;
        }
        if (!first) {
            return false;
        }
        first.mode = 'showing';
        return true;
    };

    /* "Captions on, English" or "Captions off", as the tracks are now. */
    function captionsState(video) {
        var tracks = video.textTracks;
        for (var i = 0; tracks && i < tracks.length; i++) {
            if (tracks[i].mode === 'showing') {
                return 'Captions on' + (tracks[i].label ? ', ' + tracks[i].label : '');
            }
        }
        return 'Captions off';
    }

    /* One step along SPEEDS from the speed now. */
    Player.prototype.changeSpeed = function (steps) {
        var video = this.video;
        var at = 0;
        while (at < SPEEDS.length - 1 && SPEEDS[at] < video.playbackRate) {
            at++;
        }
        if (steps > 0 && SPEEDS[at] > video.playbackRate) {
            at--;
        }
        video.playbackRate = SPEEDS[Math.max(0, Math.min(SPEEDS.length - 1, at + steps))];
    };

    /* False where the browser has no picture in picture for a page to ask for
       (Firefox offers its own button), so that the key goes to the browser. */
    Player.prototype.togglePictureInPicture = function () {
        var video = this.video;
        if (!document.pictureInPictureEnabled || video.disablePictureInPicture) {
            return false;
        }
        var asked = document.pictureInPictureElement ? document.exitPictureInPicture()
                                                     : video.requestPictureInPicture();
        if (asked && asked.catch) {
            asked.catch(function () {});
        }
        return true;
    };

    /* Up on a muted video turns the sound on at its last volume. */
    Player.prototype.changeVolume = function (step) {
        var video = this.video;
        if (video.muted && step > 0) {
            this.unmute();
            return;
        }
        var volume = Math.round(Math.max(0, Math.min(1, video.volume + step)) * 100) / 100;
        video.volume = volume;
        if (volume === 0) {
            video.muted = true;
        }
    };

    /* Does what a key asks; false for keys the player leaves to the browser. */
    Player.prototype.handleKey = function (event) {
        var video = this.video;
        if (!video || event.ctrlKey || event.metaKey || event.altKey) {
            return false;
        }
        var key = event.key;
        switch (key) {
        case ' ':
        case 'Spacebar':
        case 'k':
        case 'K':
            if (video.paused) {
                this.play();
            } else {
                video.pause();
            }
            return true;
        case 'ArrowLeft':
        case 'Left':
            this.seekBy(-SEEK_STEP);
            return true;
        case 'ArrowRight':
        case 'Right':
            this.seekBy(SEEK_STEP);
            return true;
        case 'j':
        case 'J':
            this.seekBy(-LONG_SEEK_STEP);
            return true;
        case 'l':
        case 'L':
            this.seekBy(LONG_SEEK_STEP);
            return true;
        case 'Home':
            this.seekTo(0);
            return true;
        case 'End':
            if (isFinite(video.duration)) {
                this.seekTo(video.duration);
            }
            return true;
        case 'ArrowUp':
        case 'Up':
            this.changeVolume(VOLUME_STEP);
            return true;
        case 'ArrowDown':
        case 'Down':
            this.changeVolume(-VOLUME_STEP);
            return true;
        case 'm':
        case 'M':
            if (video.muted) {
                this.unmute();
            } else {
                video.muted = true;
            }
            return true;
        case 'f':
        case 'F':
            this.toggleFullscreen();
            return true;
        case 'c':
        case 'C':
            return this.toggleCaptions();
        case '>':
            this.changeSpeed(1);
            return true;
        case '<':
            this.changeSpeed(-1);
            return true;
        case 'p':
        case 'P':
            return this.togglePictureInPicture();
        default:
            if (/^[0-9]$/.test(key) && isFinite(video.duration)) {
                this.seekTo(video.duration * parseInt(key, 10) / 10);
                return true;
            }
            return false;
        }
    };

    /* Keys act while the player has the focus, or while nothing else has it on a
       page that holds only this player. */
    Player.prototype.listenToKeys = function () {
        var self = this;
        var wrapper = this.wrapper;
        var onKey = function (event) {
            if (event.defaultPrevented) {
                return;
            }
            var target = event.target;
            var inPlayer = wrapper.contains(target);
            var onPage = target === document.body || target === document.documentElement;
            if (!inPlayer && !(onPage && self.onlyFocusableThing())) {
                return;
            }
            // The sound button and the logo link keep the keys that press them;
            // every other key is the player's, after a click on them too.
            var presses = event.key === 'Enter' ||
                          (target.nodeName === 'BUTTON' && /^( |Spacebar)$/.test(event.key));
            if (inPlayer && target !== wrapper && target !== self.video && presses) {
                return;
            }
            // On the browser's own controls, reached by Tab, the keys that move
            // between them and press them are theirs; the letters stay the player's.
            if (target === self.video && byKeyboard(target) && /^(Enter| |Spacebar|Tab|Escape|Esc|Home|End|(Arrow)?(Left|Right|Up|Down))$/.test(event.key)) {
                return;
            }
            if (self.handleKey(event)) {
                event.preventDefault();
                event.stopPropagation();
            }
        };
        // Capture, so that the video's own controls do not act on the same key.
        wrapper.addEventListener('keydown', onKey, true);
        document.addEventListener('keydown', onKey);

        // The browser's own controls keep their pointer events to themselves, and
        // every key once they have the focus, as after a click on Chromium's play
        // button or seek bar; and a click may leave the focus on the page. The
        // player box takes the focus back after any click inside it, so that keys
        // keep working: a focus on the video that the browser does not show as
        // the keyboard's came by a pointer. Reached by Tab, the browser's controls
        // keep it.
        var takeFocus = function () {
            setTimeout(function () {
                var active = document.activeElement;
                var video = self.video;
                if (!active || !wrapper.contains(active) || (video && active === video && !byKeyboard(video))) {
                    wrapper.className = 'vidlume-html5 vidlume-pointer';
                    try {
                        wrapper.focus({preventScroll: true});
                    } catch (e) {
                        wrapper.focus();
                    }
                }
            }, 0);
        };
        wrapper.addEventListener('focusin', function (event) {
            if (event.target === self.video) {
                takeFocus();
            }
        });
        wrapper.addEventListener('pointerup', takeFocus);
        // What a click on the browser's controls changes is all the page hears of it.
        var changes = ['play', 'pause', 'seeked', 'volumechange', 'ratechange'];
        for (var i = 0; i < changes.length; i++) {
            this.video.addEventListener(changes[i], function () {
                if (document.activeElement === self.video) {
                    takeFocus();
                }
            });
        }
        document.addEventListener('keydown', function () {
            wrapper.className = 'vidlume-html5';
        }, true);
    };

    /* On a touch screen the browser's first tap on a paused video only shows its
       controls; a tap on the picture (above the controls) starts it at once. */
    Player.prototype.listenToTaps = function () {
        var self = this;
        var video = this.video;
        var tapped = false;
        video.addEventListener('pointerdown', function (event) {
            var box = video.getBoundingClientRect();
            tapped = event.pointerType === 'touch' && video.paused && event.clientY < box.bottom - CONTROLS_HEIGHT;
        });
        video.addEventListener('pointerup', function () {
            if (!tapped) {
                return;
            }
            tapped = false;
            // After the browser's own handling of the tap: a tap that started the
            // video already is not made twice.
            setTimeout(function () {
                if (self.video === video && video.paused) {
                    self.play();
                }
            }, 50);
        });
    };

    /* ---- What a screen reader hears ---------------------------------------------- */

    /* Says the text in the player's polite live region. Texts that come within a
       moment of each other are said together, the last of each kind only (a
       dragged volume slider says its final volume), and a state is not said
       again when it ends as it was last said (a click on the timeline that
       pauses and plays again). */
    Player.prototype.announce = function (kind, text) {
        var self = this;
        var status = this.status;
        if (!this.pending) {
            this.pending = {kinds: [], texts: {}};
            status.textContent = ''; // a text said again must change to be heard again
            setTimeout(function () {
                var pending = self.pending;
                var parts = [];
                self.pending = null;
                for (var i = 0; i < pending.kinds.length; i++) {
                    var said = pending.texts[pending.kinds[i]];
                    if (said !== self.said[pending.kinds[i]]) {
                        parts.push(said);
                        self.said[pending.kinds[i]] = said;
                    }
                }
                status.textContent = parts.join(', ');
            }, ANNOUNCE_MS);
        }
        if (!(kind in this.pending.texts)) {
            this.pending.kinds.push(kind);
        }
        this.pending.texts[kind] = text;
    };

    /* Changes the visitor makes, by key or by any button, are announced: playing,
       paused, muted, sound on, the volume, the time after a seek, full screen. */
    Player.prototype.listenToChanges = function () {
        var self = this;
        var video = this.video;
        var wrapper = this.wrapper;
        // A click on the browser's own controls reaches no listener of the page,
        // but the browser counts it as the visitor's action.
        var acted = false;
        var onAction = function () {
            acted = true;
        };
        var hasActed = function () {
            return acted || !!(navigator.userActivation && navigator.userActivation.hasBeenActive);
        };
        document.addEventListener('keydown', onAction, true);
        document.addEventListener('pointerdown', onAction, true);
        // What happens before the visitor's first action (autoplay, loading) is
        // not said, but it is the state that later changes are told from.
        var say = function (kind, text) {
            if (self.video !== video) {
                return;
            }
            if (hasActed()) {
                self.announce(kind, text);
            } else {
                self.said[kind] = text;
            }
        };
        var muted = video.muted;
        var volume = video.volume;
        video.addEventListener('play', function () {
            say('playback', 'Playing');
        });
        video.addEventListener('pause', function () {
            say('playback', video.ended ? 'Ended' : 'Paused');
        });
        video.addEventListener('volumechange', function () {
            if (video.muted !== muted) {
                say('sound', video.muted ? 'Muted' : 'Sound on');
            } else if (video.volume !== volume) {
                say('sound', 'Volume ' + Math.round(video.volume * 100) + '%');
            }
            muted = video.muted;
            volume = video.volume;
        });
        video.addEventListener('seeked', function () {
            say('time', clockText(video.currentTime) +
                        (isFinite(video.duration) ? ' of ' + clockText(video.duration) : ''));
        });
        video.addEventListener('ratechange', function () {
            say('speed', video.playbackRate === 1 ? 'Normal speed' : 'Speed ' + video.playbackRate + '\u00d7');
        });
        video.addEventListener('enterpictureinpicture', function () {
            say('picture', 'Picture in picture');
        });
        video.addEventListener('leavepictureinpicture', function () {
            say('picture', 'Picture in picture off');
        });
        // By the C key or by the browser's own captions menu.
        if (video.textTracks && video.textTracks.addEventListener) {
            video.textTracks.addEventListener('change', function () {
                say('captions', captionsState(video));
            });
        }
        // By the F key (the player box) or the browser's own button (the video).
        var full = false;
        var onFullscreen = function () {
            var element = document.fullscreenElement || document.webkitFullscreenElement;
            var now = !!element && (element === wrapper || wrapper.contains(element));
            if (now !== full) {
                full = now;
                say('fullscreen', now ? 'Full screen' : 'Full screen off');
            }
            self.layout();
        };
        document.addEventListener('fullscreenchange', onFullscreen);
        document.addEventListener('webkitfullscreenchange', onFullscreen);
    };

    Player.prototype.onlyFocusableThing = function () {
        var others = document.querySelectorAll('input, select, textarea, button, iframe, [contenteditable], ' +
                                               'a[href], [tabindex]');
        for (var i = 0; i < others.length; i++) {
            if (!this.wrapper.contains(others[i])) {
                return false;
            }
        }
        return true;
    };

    /* ---- Captions ------------------------------------------------------------ */

    function languageLabel(lang) {
        if (!lang) {
            return 'Captions';
        }
        try {
            var names = new Intl.DisplayNames([navigator.language || 'en', 'en'], {type: 'language'});
            var name = names.of(lang);
            if (name && name !== lang) {
                return name.charAt(0).toUpperCase() + name.substring(1);
            }
        } catch (e) {
            // an old browser or a tag it does not know
        }
        return lang;
    }

    Player.prototype.addCaptions = function (entries) {
        if (!this.video || !entries || typeof entries.length !== 'number') {
            return;
        }
        for (var i = 0; i < entries.length; i++) {
            var entry = entries[i] || {};
            var src = null;
            if (typeof entry.vtt === 'string') {
                // Read from a copy in memory, which a page opened from a file may load.
                src = URL.createObjectURL(new Blob([entry.vtt], {type: 'text/vtt'}));
            } else if (typeof entry.file === 'string' && entry.file) {
                src = referenceToAddress(this.folder + entry.file);
            }
            if (!src) {
                continue;
            }
            var track = document.createElement('track');
            track.kind = 'captions';
            track.src = src;
            if (entry.lang) {
                track.srclang = entry.lang;
            }
            track.label = entry.label || languageLabel(entry.lang);
            this.video.appendChild(track);
            track.track.mode = 'disabled'; // offered, off until the visitor turns it on
        }
    };

    Player.prototype.loadCaptions = function () {
        var self = this;
        var reference = captionsReference(this.vars.source);
        this.folder = reference.substring(0, reference.lastIndexOf('/') + 1);
        window.vidlumeCaptions = function (entries) {
            try {
                self.addCaptions(entries);
            } catch (e) {
                console.warn(LOG_PREFIX + 'the caption list cannot be used: ' + e.message);
            }
        };
        var script = document.createElement('script');
        script.src = referenceToAddress(reference);
        script.charset = 'utf-8'; // for lists written before they were plain ASCII
        script.async = true;
        script.onerror = function () {
            script.parentNode.removeChild(script); // no caption list: no captions
        };
        (document.head || document.documentElement).appendChild(script);
    };

    /* ---- Playback and failures -------------------------------------------------- */

    Player.prototype.start = function () {
        var self = this;
        var video = this.video;
        var references = playbackReferences(this.vars.source);
        var attempt = 0;
        this.reference = references[0];
        video.src = referenceToAddress(references[0]);
        video.addEventListener('error', function () {
            if (!self.video || !video.error) {
                return;
            }
            if (attempt + 1 < references.length) {
                attempt++;
                self.reference = references[attempt];
                video.src = referenceToAddress(references[attempt]);
                video.load();
                return;
            }
            self.fail(video.error);
        });
        if (this.vars.autostart === 'true') {
            this.offerSound();
        }
    };

    /* Why the video cannot be shown, as far as the page can tell. */
    Player.prototype.findCause = function (error, address, done) {
        var pageScheme = location.protocol;
        var resolved = new URL(address, document.baseURI);
        if (pageScheme === 'https:' && resolved.protocol === 'http:') {
            done('refused');
            return;
        }
        if (error.code === 2) {
            done('network');
            return;
        }
        if (error.code === 3) {
            done('damaged');
            return;
        }
        if ((resolved.protocol === 'http:' || resolved.protocol === 'https:') && window.fetch &&
            resolved.origin === location.origin) {
            window.fetch(resolved.href, {method: 'HEAD', cache: 'no-store'}).then(function (response) {
                if (response.status === 404 || response.status === 410) {
                    done('missing');
                } else if (response.ok) {
                    done('unplayable');
                } else {
                    done('server', response.status);
                }
            }, function () {
                done('unknown');
            });
            return;
        }
        var message = error.message || '';
        // Firefox names the file system's answer for a file it could not open:
        // NS_ERROR_FILE_NOT_FOUND, NS_ERROR_FILE_TARGET_DOES_NOT_EXIST,
        // NS_ERROR_FILE_ACCESS_DENIED.
        if (/^(2152857618|2152857606)\b/.test(message)) {
            done('missing');
            return;
        }
        if (/^2152857621\b/.test(message)) {
            done('unreadable');
            return;
        }
        // Chromium reads a file it found and gives no words when it cannot play it.
        if (resolved.protocol === 'file:' && error.code === 4 && !message) {
            done('unplayable');
            return;
        }
        // Chromium says only this when nothing at all could be read.
        if (/MEDIA_ELEMENT_ERROR: Format error/.test(error.message || '')) {
            if (pageScheme === 'file:' && /^\//.test(this.reference)) {
                done('needs-server');
            } else {
                done('missing');
            }
            return;
        }
        // What Chromium and Firefox say when they read the file but cannot play it.
        done(/DEMUXER|DECODER|PIPELINE|Pipeline|NS_ERROR_DOM_MEDIA/.test(error.message || '') ? 'unplayable'
                                                                                              : 'unknown');
    };

    var MESSAGES = {
        missing: 'The video file \u201c%s\u201d is missing.',
        unplayable: 'The video file \u201c%s\u201d cannot be played: it is damaged or in a form this browser does not play.',
        unreadable: 'The browser may not read the video file \u201c%s\u201d: its permissions keep it out.',
        damaged: 'The video file \u201c%s\u201d is damaged or cut short; playback stopped.',
        network: 'The connection broke off while loading the video file \u201c%s\u201d.',
        server: 'The web server refused the video file \u201c%s\u201d (HTTP %d).',
        refused: 'The browser refuses to load the video file \u201c%s\u201d: this secure (https) page refers to it ' +
                 'by an insecure http address.',
        'needs-server': 'The browser cannot load the video file \u201c%s\u201d for a page opened from a file: its ' +
                        'web path starts with \u201c/\u201d and works only when the page is served by a web server.',
        unknown: 'The video file \u201c%s\u201d is missing or cannot be played.',
    };

    /* A failure takes the video element out of the page before anything else can
       act on it, and puts a message naming the cause in its place. */
    Player.prototype.fail = function (error) {
        var self = this;
        var video = this.video;
        if (!video) {
            return;
        }
        this.video = null;
        var address = video.currentSrc || video.src || referenceToAddress(this.reference);
        if (this.removeSoundButton) {
            this.removeSoundButton();
        }
        if (document.activeElement === video) {
            this.wrapper.focus();
        }
        video.pause();
        video.removeAttribute('src');
        video.load();
        video.parentNode.removeChild(video);
        this.placePicture(); // no controls to keep clear of any more

        var note = document.createElement('div');
        note.className = 'vidlume-failure';
        note.setAttribute('role', 'alert');
        // Nothing under the panel (the logo link) takes focus or clicks while it shows.
        for (var child = this.wrapper.firstChild; child; child = child.nextSibling) {
            if (child.nodeType === 1) {
                child.setAttribute('inert', '');
            }
        }
        this.wrapper.appendChild(note);

        var show = function (reason, status) {
            var text = MESSAGES[reason].replace('%s', fileNameOf(self.reference)).replace('%d', status);
            note.appendChild(document.createTextNode(text));
            console.warn(LOG_PREFIX + text + (error && error.message ? ' (' + error.message + ')' : ''));
        };
        this.findCause(error, address, show);
    };

    /* ---- Start ------------------------------------------------------------------ */

    function start() {
        if (hasFlash()) {
            return;
        }
        var found = findFlashElements();
        if (!found) {
            return;
        }
        var vars = parseFlashvars(pageValue(found.embed.getAttribute('flashvars')));
        if (!vars.source) {
            return;
        }
        var player;
        try {
            player = new Player(found, vars);
        } catch (e) {
            console.error(LOG_PREFIX + 'cannot set up the player; the page is left as it is.', e);
            return;
        }
        declareViewport();
        declareLanguage();
        nameTheTab(vars.source);
        addStyle();
        var old = found.object || found.embed;
        old.parentNode.replaceChild(player.wrapper, old);
        player.layout();
        window.addEventListener('resize', function () {
            player.layout();
        });
        player.video.addEventListener('loadedmetadata', function () {
            player.layout();
        });
        player.listenToKeys();
        player.listenToTaps();
        player.listenToChanges();
        player.start();
        player.loadCaptions();
    }

    if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', start);
    } else {
        start();
    }
})();
