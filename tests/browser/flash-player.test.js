#!/usr/bin/env node
/*
 * Publishes a Sorenson FLV without the HTML5 player, serves the new folder and the
 * pinned Ruffle on 127.0.0.1 and plays the page's Flash element under Ruffle in
 * headless Chromium. Ruffle is added to the page by this test only.
 *
 * Usage: node flash-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]
 * Exit codes: 0 passed, 1 failed, 77 skipped (Chromium or ffmpeg not installed).
 */
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {pathToFileURL} = require('node:url');
const kit = require('./browser-kit');

const WATCHDOG_MS = 280000;
const WIDTH = 640;
const HEIGHT = 384; // 360 of picture and the 24 of the control bar
const PICTURE_HEIGHT = 360;
const POSTER = [0x20, 0x30, 0x50];
const LOGO = [0xE0, 0x80, 0x20];
const LOGO_ALPHA = 60;
const LOGO_WIDTH = 50;
const TRACK = [0x4C, 0x4C, 0x4C]; // brightcolor
const HOVER = [0x67, 0xA8, 0xC1]; // hovercolor

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const near = (pixel, colour, tolerance = 10) => pixel.every((v, i) => Math.abs(v - colour[i]) <= tolerance);
const blend = (top, under, alpha) => top.map((v, i) => Math.round(v * alpha + under[i] * (1 - alpha)));

/* A Sorenson H.263 video with MP3 sound, the poster and the logo, first under plain
   names and again under names that are special in a web address. The video runs long
   enough to be still playing when a slow machine gets round to looking at it. */
function makeMedia(dir) {
    const plain = {video: path.join(dir, 'clip.flv'), poster: path.join(dir, 'poster.png'),
                   logo: path.join(dir, 'logo.png')};
    kit.ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=640x360:rate=25:duration=24',
                '-f', 'lavfi', '-i', 'sine=frequency=440:duration=24',
                '-c:v', 'flv1', '-q:v', '4', '-c:a', 'libmp3lame', '-ar', '44100', '-shortest', '-f', 'flv',
                plain.video]);
    kit.ffmpeg(['-f', 'lavfi', '-i', 'color=c=0x203050:s=640x360', '-frames:v', '1', plain.poster]);
    const font = '/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf';
    const word = fs.existsSync(font)
        ? `,drawtext=fontfile=${font}:text=LOGO:fontsize=34:fontcolor=white:x=(w-tw)/2:y=(h-th)/2`
        : '';
    kit.ffmpeg(['-f', 'lavfi', '-i', `color=c=0xE08020:s=160x60${word}`, '-frames:v', '1', plain.logo]);

    const special = {video: path.join(dir, 'Episode #3 50% off?.flv'), poster: path.join(dir, 'cover #1.png'),
                     logo: path.join(dir, 'logo%.png')};
    for (const key of Object.keys(plain)) {
        fs.copyFileSync(plain[key], special[key]);
    }
    return {plain, special};
}

function publish(cli, media, outDir, {autoplay = false, logoLink = ''} = {}) {
    const args = ['--size', `${WIDTH}x${HEIGHT}`, '--thumbnail', '--thumbnail-image', media.poster,
                  '--logo', '--logo-image', media.logo, '--logo-alpha', String(LOGO_ALPHA),
                  '--logo-position', 'bottom-left', '--logo-width', String(LOGO_WIDTH), '--out', outDir,
                  '--no-html5'];
    if (autoplay) {
        args.push('--autoplay');
    }
    if (logoLink) {
        args.push('--logo-link', logoLink);
    }
    const result = kit.run(cli, [...args, media.video]);
    assert.equal(result.stderr, '', 'publishing left something out');
    const folder = result.stdout.trim();
    for (const name of ['index.htm', 'flvplayer1.swf', path.basename(media.video)]) {
        assert.ok(fs.existsSync(path.join(folder, name)), `${name} was not published`);
    }
    return folder;
}

/* Opens url in a new page with Ruffle added from the test's server; resolves when
   the player draws its control bar. */
async function openUnderRuffle(context, url, ruffleBase) {
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    await page.addInitScript((base) => {
        // The canvas renderer: WebGL draws nothing in headless Chromium without a GPU.
        window.RufflePlayer = {config: {publicPath: base, autoplay: 'on', unmuteOverlay: 'hidden',
                                        splashScreen: false, logLevel: 'warn',
                                        preferredRenderer: 'canvas'}};
        addEventListener('DOMContentLoaded', () => {
            const script = document.createElement('script');
            script.src = base + 'ruffle.js';
            document.head.appendChild(script);
        });
    }, ruffleBase);
    await page.goto(url);
    const element = page.locator('ruffle-object, ruffle-embed').first();
    await element.waitFor({timeout: 40000});
    const box = await element.boundingBox();
    assert.equal(box.width, WIDTH);
    assert.equal(box.height, HEIGHT);
    const player = {page, box, problems};
    // The seek bar, whatever it shows, is lighter than the bar around it.
    await waitFor(player, (shot) => near(shot.pixel(WIDTH / 2, PICTURE_HEIGHT + 2), [0, 0, 0], 4) &&
                                    !near(shot.pixel(WIDTH / 2, PICTURE_HEIGHT + 12), [0, 0, 0], 40),
                  'the control bar did not show');
    return player;
}

async function shoot(player) {
    const {x, y} = player.box;
    return kit.decodePng(await player.page.screenshot({clip: {x, y, width: WIDTH, height: HEIGHT}}));
}

async function waitFor(player, test, failure, timeout = 30000) {
    const end = Date.now() + timeout;
    for (;;) {
        const shot = await shoot(player);
        if (test(shot)) {
            return shot;
        }
        assert.ok(Date.now() < end, `${failure}; ${player.problems.join('; ')}`);
        await sleep(250);
    }
}

/* How many pixels of the picture area differ between two shots. */
function changedPixels(a, b) {
    let changed = 0;
    for (let y = 0; y < PICTURE_HEIGHT; y += 2) {
        for (let x = 0; x < WIDTH; x += 2) {
            if (!near(a.pixel(x, y), b.pixel(x, y), 24)) {
                changed++;
            }
        }
    }
    return changed;
}

async function expectFramesAdvance(player) {
    const first = await shoot(player);
    await waitFor(player, (shot) => changedPixels(first, shot) > 500, 'the picture does not move');
}

/* The box of the pixels where the logo at LOGO_ALPHA lies over the poster, found in
   the lower-left quarter of the picture. */
function logoBox(shot) {
    const expected = blend(LOGO, POSTER, LOGO_ALPHA / 100);
    const box = {left: WIDTH, top: PICTURE_HEIGHT, right: -1, bottom: -1};
    for (let y = PICTURE_HEIGHT / 2; y < PICTURE_HEIGHT; y++) {
        for (let x = 0; x < WIDTH / 2; x++) {
            if (near(shot.pixel(x, y), expected, 8)) {
                box.left = Math.min(box.left, x);
                box.right = Math.max(box.right, x);
                box.top = Math.min(box.top, y);
                box.bottom = Math.max(box.bottom, y);
            }
        }
    }
    return box;
}

function expectPosterAndLogo(shot) {
    assert.ok(near(shot.pixel(100, 100), POSTER), `no poster: ${shot.pixel(100, 100)}`);
    const logo = logoBox(shot);
    assert.ok(Math.abs(logo.left) <= 1 && Math.abs(logo.bottom - (PICTURE_HEIGHT - 1)) <= 1,
              `the logo is not in the bottom-left corner: ${JSON.stringify(logo)}`);
    assert.ok(Math.abs(logo.right - logo.left + 1 - LOGO_WIDTH) <= 2, `logo width: ${JSON.stringify(logo)}`);
    assert.ok(Math.abs(logo.bottom - logo.top + 1 - LOGO_WIDTH * 60 / 160) <= 2,
              `logo height: ${JSON.stringify(logo)}`);
}

async function clickPicture(player) {
    await player.page.mouse.click(player.box.x + WIDTH / 2, player.box.y + PICTURE_HEIGHT / 2);
}

/* Poster and logo until play, no movement, then frames after a click on the picture;
   the logo opens its link in a new page. */
async function checkClickToPlay(context, url, ruffleBase, logoLink, screenshot) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    const before = await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER), 'the poster did not show');
    expectPosterAndLogo(before);
    await sleep(1000);
    assert.equal(changedPixels(before, await shoot(player)), 0, 'the picture moved before play');

    // The bar in the page's colours: dark background, bright track, white icons,
    // and the control under the pointer in the hover colour.
    const bar = (x) => before.pixel(x, PICTURE_HEIGHT + 12);
    assert.ok(near(before.pixel(WIDTH / 2, PICTURE_HEIGHT + 2), [0, 0, 0], 4), 'bar background');
    assert.ok(near(bar(WIDTH / 2), TRACK, 4), `seek track ${bar(WIDTH / 2)}`);
    assert.ok(near(bar(10), [255, 255, 255], 40), `play icon ${bar(10)}`);
    await player.page.mouse.move(player.box.x + 12, player.box.y + PICTURE_HEIGHT + 12);
    await waitFor(player, (shot) => near(shot.pixel(10, PICTURE_HEIGHT + 12), HOVER, 40), 'no hover colour');

    await clickPicture(player);
    await expectFramesAdvance(player);

    if (screenshot) {
        // The pointer over the seek bar shows the hover colour, as a visitor sees it.
        await player.page.mouse.move(player.box.x + WIDTH / 3, player.box.y + PICTURE_HEIGHT + 12);
        await sleep(300);
        await player.page.screenshot({path: screenshot, clip: {...player.box}});
    }

    // Paused by a click on the picture, then a click at nine tenths of the seek bar
    // jumps there: the played part, in the hover colour under the pointer, reaches
    // past four fifths although the video does not run.
    await clickPicture(player);
    await waitFor(player, (shot) => !showsPause(shot), 'a click on the picture did not pause');
    const seekAt = (share) => 28 + share * (WIDTH - 150);
    await player.page.mouse.click(player.box.x + seekAt(0.9), player.box.y + PICTURE_HEIGHT + 12);
    await waitFor(player, (shot) => near(shot.pixel(seekAt(0.8), PICTURE_HEIGHT + 12), HOVER, 40),
                  'the seek bar did not jump');

    // Played on from there, the video ends back at the start, paused.
    await clickPicture(player);
    await waitFor(player, showsPause, 'a second click on the picture did not play');
    await waitFor(player, (shot) => !showsPause(shot) && !playedSome(shot), 'the end did not go back to the start');

    const {page, box} = player;
    const [popup] = await Promise.all([context.waitForEvent('page', {timeout: 10000}),
                                       page.mouse.click(box.x + LOGO_WIDTH / 2, box.y + PICTURE_HEIGHT - 5)]);
    await popup.waitForLoadState();
    assert.equal(popup.url(), logoLink, 'the logo opened another address');
    await popup.close();
    assert.deepEqual(player.problems, []);
    await page.close();
}

/* The bar's play button shows two bars (pause) while playing; the seek bar's played
   part starts at its left end in the control colour. */
const showsPause = (shot) => near(shot.pixel(14, PICTURE_HEIGHT + 8), [255, 255, 255], 60);
const playedSome = (shot) => near(shot.pixel(30, PICTURE_HEIGHT + 12), [255, 255, 255], 30);

/* Plays at once, without a poster. */
async function checkAutostart(context, url, ruffleBase) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    await expectFramesAdvance(player);
    assert.ok(showsPause(await shoot(player)), 'the play button does not show pause while playing');
    assert.deepEqual(player.problems, []);
    await player.page.close();
}

/* A video that is not there: a message in the picture area instead of a picture. */
async function checkMissingVideo(context, url, ruffleBase) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    const whiteInMiddleRow = (shot) => {
        for (let x = 0; x < WIDTH; x++) {
            if (near(shot.pixel(x, PICTURE_HEIGHT / 2), [255, 255, 255], 60)) {
                return true;
            }
        }
        return false;
    };
    const shot = await waitFor(player, whiteInMiddleRow, 'no message for a missing video', 30000);
    assert.ok(near(shot.pixel(100, 100), [0, 0, 0], 4), 'something is shown besides the message');
    assert.ok(!showsPause(shot), 'the player says it plays');
    await player.page.close();
}

/* Names holding "#", "%", "?" and blanks: the video, the poster and the logo load. */
async function checkSpecialNames(context, url, ruffleBase) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    expectPosterAndLogo(await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER),
                                      'the poster did not show'));
    await clickPicture(player);
    await expectFramesAdvance(player);
    assert.deepEqual(player.problems, []);
    await player.page.close();
}

async function main() {
    const [cli, workRoot] = process.argv.slice(2);
    const shotIndex = process.argv.indexOf('--screenshot');
    const screenshot = shotIndex > 0 ? path.resolve(process.argv[shotIndex + 1]) : null;
    if (!cli || !workRoot) {
        console.error('usage: flash-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]');
        return 2;
    }
    if (!fs.existsSync(kit.CHROMIUM) || !kit.which('ffmpeg')) {
        console.log(`skipped: needs ${kit.CHROMIUM} and ffmpeg (scripts/install-deps.sh test installs them)`);
        return kit.SKIP;
    }
    const ruffleDir = path.dirname(require.resolve('@ruffle-rs/ruffle/package.json'));

    fs.mkdirSync(workRoot, {recursive: true});
    const work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    const outDir = path.join(work, 'out');
    let server = null;
    let chromium = {};
    const watchdog = setTimeout(() => {
        console.error('the browser test hangs; stopping it');
        if (chromium.browserServer) {
            process.kill(chromium.browserServer.process().pid, 'SIGKILL');
        }
        process.exit(1);
    }, WATCHDOG_MS);

    try {
        const media = makeMedia(work);
        server = await kit.startServer({'/ruffle/': ruffleDir, '/': outDir});
        const base = `http://127.0.0.1:${server.address().port}`;
        const ruffleBase = `${base}/ruffle/`;
        const pageUrl = (folder) => `${base}/${encodeURIComponent(path.basename(folder))}/index.htm`;
        // The "&" and the "+" must reach the browser as they were typed.
        const logoLink = `${base}/landing?a=1&b=2+3`;

        chromium = await kit.launchChromium(['--autoplay-policy=no-user-gesture-required']);
        const context = await chromium.browser.newContext({viewport: {width: 720, height: 460}});

        const clickToPlay = publish(cli, media.plain, outDir, {logoLink});
        await checkClickToPlay(context, pageUrl(clickToPlay), ruffleBase, logoLink, screenshot);
        console.log('passed: poster until a click, then playback, a jump and the end; the logo opens its link');

        const autostart = publish(cli, media.plain, outDir, {autoplay: true});
        await checkAutostart(context, pageUrl(autostart), ruffleBase);
        console.log('passed: autostart plays at once');

        fs.rmSync(path.join(autostart, path.basename(media.plain.video)));
        await checkMissingVideo(context, pageUrl(autostart), ruffleBase);
        console.log('passed: a missing video shows a message');

        const special = publish(cli, media.special, outDir);
        await checkSpecialNames(context, pageUrl(special), ruffleBase);
        const folderPath = `/${path.basename(special)}/`;
        for (const name of ['Episode #3 50% off?.flv', 'cover #1.png', 'logo%.png']) {
            assert.ok(server.requests.includes(folderPath + name), `"${name}" was not asked for`);
        }
        console.log('passed: "#", "%", "?" and blanks in the names over 127.0.0.1');
        return 0;
    } finally {
        clearTimeout(watchdog);
        await kit.closeChromium(chromium);
        if (server) {
            server.closeAllConnections();
            server.close();
        }
        fs.rmSync(work, {recursive: true, force: true});
    }
}

main().then((code) => process.exit(code), (error) => {
    console.error(error && error.stack ? error.stack : error);
    process.exit(1);
});
