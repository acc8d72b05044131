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
        'server-failed': 'The web server failed to send the video file \u201c%s\u201d (HTTP %d).',
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
            // A status from 500 up is the server's own failure; below that it refused.
            var key = reason === 'server' && status >= 500 ? 'server-failed' : reason;
            var text = MESSAGES[key].replace('%s', fileNameOf(self.reference)).replace('%d', status);
            note.appendChild(document.createTextNode(text));
            console.warn(LOG_PREFIX + text + (error && error.message ? ' (' + error.message + ')' : ''));
        };
        this.findCause(error, address, show);
    };

