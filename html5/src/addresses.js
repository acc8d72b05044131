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

