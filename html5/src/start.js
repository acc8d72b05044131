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
