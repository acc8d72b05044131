#!/usr/bin/env node
/*
 * The page that vidlume-cli makes with no option at all, from a Sorenson + MP3
 * FLV, plays in Debian's Firefox ESR from file:// and over 127.0.0.1; a click on
 * the sound hint of an autoplaying page plays on with sound; a missing video
 * opened from a file is named as missing; axe finds no WCAG violation.
 *
 * Usage: node html5-firefox.test.js VIDLUME_CLI WORK_DIR
 * Exit codes: 0 passed, 1 failed, 77 skipped (Firefox ESR or ffmpeg not installed).
 */
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {pathToFileURL} = require('node:url');
const {after, before, test} = require('node:test');
const kit = require('./browser-kit');

const [cli, workRoot] = process.argv.slice(2);
if (!cli || !workRoot) {
    console.error('usage: html5-firefox.test.js VIDLUME_CLI WORK_DIR');
    process.exit(2);
}
if (!fs.existsSync(kit.FIREFOX) || !kit.which('ffmpeg')) {
    console.log(`skipped: needs ${kit.FIREFOX} and ffmpeg (scripts/install-deps.sh test installs them)`);
    process.exit(kit.SKIP);
}

let work = null;
let server = null;
let browser = null;
let folder = null;
let autoplay = null;
let gone = null;

before(async () => {
    fs.mkdirSync(workRoot, {recursive: true});
    work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    const video = path.join(work, 'holiday.flv');
    kit.ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=160x120:rate=10:duration=4',
                '-f', 'lavfi', '-i', 'sine=frequency=440:duration=4',
                '-c:v', 'flv1', '-q:v', '8', '-c:a', 'libmp3lame', '-ar', '22050', '-b:a', '32k', '-f', 'flv', video]);
    const outDir = path.join(work, 'out');
    const published = kit.run(cli, ['--out', outDir, video]);
    folder = published.stdout.trim();
    assert.equal(published.stderr, '', 'publishing reported something');
    autoplay = kit.run(cli, ['--autoplay', '--out', outDir, video]).stdout.trim();
    gone = kit.run(cli, ['--out', outDir, video]).stdout.trim();
    fs.rmSync(path.join(gone, 'holiday.mp4'));
    server = await kit.startServer({'/': outDir});
    browser = await kit.launchFirefox();
});

after(async () => {
    if (browser) {
        await browser.close().catch(() => {});
    }
    if (server) {
        server.closeAllConnections();
        server.close();
    }
    if (work) {
        fs.rmSync(work, {recursive: true, force: true});
    }
});

for (const [where, url] of [['file://', () => pathToFileURL(path.join(folder, 'index.htm')).href],
                            ['127.0.0.1', () => `http://127.0.0.1:${server.address().port}/holiday/index.htm`]]) {
    test(`the default page plays in Firefox from ${where}`, async () => {
        const page = await browser.newPage();
        const problems = [];
        page.on('pageerror', (e) => problems.push(e.message));
        try {
            await page.goto(url());
            const video = page.locator('.vidlume-html5 video');
            await video.waitFor({timeout: 10000});
            assert.equal(await page.locator('object, embed').count(), 0, 'the Flash element is still there');
            await video.evaluate((v) => {
                v.muted = true; // headless Firefox may refuse to start sound unasked
                return v.play();
            });
            await page.waitForFunction(() => {
                const v = document.querySelector('video');
                return !v || v.error || v.currentTime > 0.5;
            }, null, {timeout: 20000});
            const state = await page.evaluate(() => {
                const v = document.querySelector('video');
                return v ? {error: v.error && v.error.message, src: v.currentSrc} : {error: 'the video is gone'};
            });
            assert.equal(state.error, null);
            assert.match(state.src, /\/holiday\.mp4$/);
            assert.deepEqual(problems, []);
        } finally {
            await page.close();
        }
    });
}

async function withPage(body) {
    const page = await browser.newPage();
    const problems = [];
    page.on('pageerror', (e) => problems.push(e.message));
    try {
        await body(page);
        assert.deepEqual(problems, []);
    } finally {
        await page.close();
    }
}

const fileUrl = (f) => pathToFileURL(path.join(f, 'index.htm')).href;

test('a click on the sound hint turns the sound on and the video plays on, never paused', async () => {
    await withPage(async (page) => {
        await page.goto(fileUrl(autoplay));
        const hint = page.locator('.vidlume-sound');
        await hint.waitFor({timeout: 10000});
        await page.locator('video').evaluate((v) => {
            window.pauses = 0;
            v.addEventListener('pause', () => window.pauses++);
        });
        await hint.click();
        const at = await page.locator('video').evaluate((v) => v.currentTime);
        await page.waitForFunction((t) => document.querySelector('video').currentTime > t + 0.5, at);
        assert.deepEqual(await page.locator('video').evaluate((v) => [v.muted, v.paused, window.pauses]),
                         [false, false, 0]);
        assert.equal(await hint.count(), 0);
    });
});

test('a missing video opened from a file is named as missing, and axe finds no WCAG violation', async () => {
    await withPage(async (page) => {
        await page.goto(fileUrl(gone));
        const note = page.locator('.vidlume-failure');
        await note.waitFor({timeout: 10000});
        assert.match(await note.textContent(), /“holiday\.mp4” is missing\.$/);
    });
    for (const url of [fileUrl(gone), fileUrl(autoplay)]) {
        await withPage(async (page) => {
            await page.goto(url);
            await page.locator('.vidlume-failure, .vidlume-sound').waitFor({timeout: 10000});
            await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
            const violations = await page.evaluate(async () => (await window.axe.run(document, {
                runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'],
            })).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`));
            assert.deepEqual(violations, [], url);
        });
    }
});
