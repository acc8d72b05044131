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

    /* The player's texts are English: a page that names no language gets it. */
    function declareLanguage() {
        var root = document.documentElement;
        if (root && !/\S/.test(root.getAttribute('lang') || '')) {
            root.setAttribute('lang', 'en');
        }
    }

