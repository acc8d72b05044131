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

