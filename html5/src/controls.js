    /* ---- Controls -------------------------------------------------------------- */

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

