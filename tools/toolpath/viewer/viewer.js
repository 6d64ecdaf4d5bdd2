// The toolpath page of pofhost: draws the moves that pofhost wrote into the
// page (positions as float32, arcs already divided into points) with three.js,
// and answers orbiting, stepping and picking. Runs once, when the page loads.
'use strict';
(function () {
  const ready = document.getElementById('pof-ready');
  const errors = [];
  window.addEventListener('error', (e) => {
    errors.push(String(e.message));
    ready.dataset.error = errors.join('; ');
  });

  // ORDER: the kinds as pofhost writes them in the low bits of a move's form.
  const RAPID = 0, FEED = 1, ARC = 2, CHORD = 3, SKIPPED = 4;
  const KINDS = [
    { name: 'rapid', label: 'rapid (dashed)', colour: 0x888888 },
    { name: 'feed', label: 'feed', colour: 0x1f5fbf },
    { name: 'arc', label: 'arc', colour: 0x2e8b3a },
    { name: 'chord', label: 'arc as marked chord', colour: 0xc0392b },
  ];
  const CODES = [3107, 3109, 3114, 3118, 3121, 3122];
  const AXIS_COLOUR = 0xe67e22, PICK_COLOUR = 0xd0106f;
  const MAX_SEGMENTS = 2000000; // past this the overview shows every k-th point
  const MAX_AXES = 4000;        // tool axis lines, thinned evenly past this
  const AXIS_SHARE = 0.04;      // tool axis length, of the job's extent

  const $ = (id) => document.getElementById(id);
  const text = (id) => $(id).textContent;
  const bytes = (id) => {
    const s = atob(text(id));
    const b = new Uint8Array(s.length);
    for (let i = 0; i < s.length; i++) b[i] = s.charCodeAt(i);
    return b.buffer;
  };
  const fmt = (v) => (Object.is(v, -0) ? 0 : Number(v.toPrecision(7))).toString();
  const escape = (s) => s.replace(/[&<>"]/g, (c) => '&#' + c.charCodeAt(0) + ';');

  // ---- The job -------------------------------------------------------------
  const job = JSON.parse(text('pof-job'));
  const points = new Float32Array(bytes('pof-points'));
  const forms = new Uint8Array(bytes('pof-forms'));
  const arcPoints = new Uint16Array(bytes('pof-arc-points'));
  const axes = new Float32Array(bytes('pof-axes'));
  const centres = new Float32Array(bytes('pof-centres'));
  const sequenceBreaks = new Uint32Array(bytes('pof-sequence'));
  const moveCount = forms.length, vertexCount = points.length / 3;

  // Per move: its last vertex, its tool axis and centre slots, its delivery.
  const moveEnd = new Uint32Array(moveCount);
  const axisAt = new Int32Array(moveCount).fill(-1);
  const centreAt = new Int32Array(moveCount).fill(-1);
  const delivery = new Uint32Array(moveCount);
  {
    let v = 0, a = 0, c = 0, arc = 0, b = 0, seq = 0;
    for (let i = 0; i < moveCount; i++) {
      const kind = forms[i] & 7;
      v += kind === ARC ? arcPoints[arc++] : kind === SKIPPED ? 0 : 1;
      moveEnd[i] = v;
      if (forms[i] & 8) axisAt[i] = a++;
      if (kind === ARC || kind === CHORD) centreAt[i] = c++;
      if (b < sequenceBreaks.length && sequenceBreaks[b] === i) {
        seq = sequenceBreaks[b + 1];
        b += 2;
      } else {
        seq += 1;
      }
      delivery[i] = seq;
    }
  }
  const kindOf = (m) => forms[m] & 7;
  // The first move whose points reach vertex `j`.
  const moveOfVertex = (j) => {
    let lo = 0, hi = moveCount - 1;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (moveEnd[mid] >= j) hi = mid; else lo = mid + 1;
    }
    return lo;
  };
  const lastMarker = (markers, m) => {
    let found = null;
    for (const [before, value] of markers) if (before <= m) found = value; else break;
    return found;
  };

  showSummary(job.summary);
  showLegend();
  const drawn = { rapid: 0, feed: 0, arc: 0, chord: 0, axes: 0, markers: 0, segments: 0, thinned: 1 };

  const probe = document.createElement('canvas');
  if (!(probe.getContext('webgl2') || probe.getContext('webgl'))) {
    $('notice').textContent = 'This page draws with WebGL, which this browser does not offer. ' +
      'Turn on hardware acceleration or open the page in a current browser; the summary is on the right.';
    finish('no-webgl');
    return;
  }
  if (moveCount === 0) $('notice').textContent = 'The job has no moves: there is nothing to draw.';

  // ---- Geometry ------------------------------------------------------------
  const stride = Math.max(1, Math.ceil((vertexCount - 1) / MAX_SEGMENTS));
  drawn.thinned = stride;
  if (stride > 1)
    $('notice').textContent = `${vertexCount - 1} segments: the overview shows every ${stride}th point. ` +
      'Stepping and picking use every move.';

  const bounds = new THREE.Box3();
  for (let j = 0; j < vertexCount; j++)
    bounds.expandByPoint(new THREE.Vector3(points[3 * j], points[3 * j + 1], points[3 * j + 2]));
  const size = Math.max(bounds.getSize(new THREE.Vector3()).length(), 1e-6);

  const positions = new THREE.BufferAttribute(points, 3);
  // Distances along the path, for the rapids' dashes; wrapped so float32 keeps them exact.
  const dash = size / 120;
  const along = new Float32Array(vertexCount);
  for (let j = 1, total = 0; j < vertexCount; j++) {
    total += Math.hypot(points[3 * j] - points[3 * j - 3], points[3 * j + 1] - points[3 * j - 2],
      points[3 * j + 2] - points[3 * j - 1]);
    along[j] = total % (dash * 2 * 4096);
  }
  const colours = new THREE.BufferAttribute(new Float32Array(vertexCount * 3), 3);

  // One index per kind over the shared points, in path order, so that a draw
  // range shows the path up to a move.
  const indexOf = [[], [], [], []].map(() => new Uint32Array(2 * Math.ceil(vertexCount / stride) + 2));
  const used = [0, 0, 0, 0];
  const markerPoints = [];
  const markerMoves = [];
  for (let prev = 0, j = Math.min(stride, vertexCount - 1), m = 0; vertexCount > 1; prev = j, j = Math.min(j + stride, vertexCount - 1)) {
    while (moveEnd[m] < j) m++;
    const kind = kindOf(m);
    indexOf[kind][used[kind]++] = prev;
    indexOf[kind][used[kind]++] = j;
    if (j === vertexCount - 1) break;
  }
  for (let m = 0; m < moveCount; m++) {
    const kind = kindOf(m);
    if (kind === SKIPPED) continue;
    drawn[KINDS[kind].name]++;
    if (kind === CHORD) {
      const a = moveEnd[m] - 1, b = moveEnd[m];
      for (let k = 0; k < 3; k++) markerPoints.push((points[3 * a + k] + points[3 * b + k]) / 2);
      markerMoves.push(m);
    }
  }
  drawn.markers = markerMoves.length;

  const scene = new THREE.Scene();
  const lines = KINDS.map((kind, k) => {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', positions);
    geometry.setAttribute('lineDistance', new THREE.BufferAttribute(along, 1));
    geometry.setAttribute('color', colours);
    geometry.setIndex(new THREE.BufferAttribute(indexOf[k].subarray(0, used[k]), 1));
    drawn.segments += used[k] / 2;
    const material = k === RAPID
      ? new THREE.LineDashedMaterial({ color: kind.colour, dashSize: dash, gapSize: dash * 0.7 })
      : new THREE.LineBasicMaterial({ color: kind.colour });
    const object = new THREE.LineSegments(geometry, material);
    object.frustumCulled = false;
    scene.add(object);
    return object;
  });

  const markers = new THREE.Points(pointGeometry(markerPoints),
    new THREE.PointsMaterial({ color: KINDS[CHORD].colour, size: 6, sizeAttenuation: false }));
  scene.add(markers);

  // Tool axis lines from the tip, evenly thinned.
  const axisMoves = [];
  for (let m = 0; m < moveCount; m++) if (axisAt[m] >= 0 && kindOf(m) !== SKIPPED) axisMoves.push(m);
  const axisStep = Math.max(1, Math.ceil(axisMoves.length / MAX_AXES));
  const glyphMoves = [], glyphPoints = [];
  for (let i = 0; i < axisMoves.length; i += axisStep) {
    const m = axisMoves[i], a = 3 * axisAt[m], tip = 3 * moveEnd[m];
    const length = Math.hypot(axes[a], axes[a + 1], axes[a + 2]);
    if (!(length > 0)) continue;
    const scale = (AXIS_SHARE * size) / length;
    for (let k = 0; k < 3; k++) glyphPoints.push(points[tip + k]);
    for (let k = 0; k < 3; k++) glyphPoints.push(points[tip + k] + axes[a + k] * scale);
    glyphMoves.push(m);
  }
  drawn.axes = glyphMoves.length;
  const glyphs = new THREE.LineSegments(pointGeometry(glyphPoints),
    new THREE.LineBasicMaterial({ color: AXIS_COLOUR }));
  scene.add(glyphs);
  for (let i = 3; i < glyphPoints.length; i += 6)
    bounds.expandByPoint(new THREE.Vector3(glyphPoints[i], glyphPoints[i + 1], glyphPoints[i + 2]));

  const highlight = new THREE.Line(new THREE.BufferGeometry(),
    new THREE.LineBasicMaterial({ color: PICK_COLOUR }));
  const highlightEnd = new THREE.Points(new THREE.BufferGeometry(),
    new THREE.PointsMaterial({ color: PICK_COLOUR, size: 9, sizeAttenuation: false }));
  scene.add(highlight, highlightEnd);

  // The origin's axes, faint so that they do not pass for moves.
  const origin = new THREE.AxesHelper(niceLength(size / 6));
  origin.material.transparent = true;
  origin.material.opacity = 0.35;
  scene.add(origin);

  // ---- Camera and controls -------------------------------------------------
  const view = $('view');
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xffffff);
  renderer.autoClear = false;
  view.appendChild(renderer.domElement);
  const canvas = renderer.domElement;

  const ortho = new THREE.OrthographicCamera(-1, 1, 1, -1, -1, 1);
  const perspective = new THREE.PerspectiveCamera(35, 1, 1, 2);
  let camera = ortho, controls = null, viewName = 'iso';
  const VIEWS = {
    top: { dir: [0, 0, 1], up: [0, 1, 0] },
    front: { dir: [0, 1, 0], up: [1, 0, 0] },
    side: { dir: [1, 0, 0], up: [0, 0, 1] },
    iso: { dir: [1, -1, 1], up: [0, 0, 1] },
  };

  function makeControls(target) {
    if (controls) controls.dispose();
    controls = new THREE.OrbitControls(camera, canvas);
    controls.enableZoom = false; // the wheel zooms to the cursor, below
    controls.enableKeys = false;
    controls.screenSpacePanning = true;
    controls.target.copy(target);
    controls.addEventListener('change', render);
    controls.update();
  }

  // Looks along a preset direction and scales so that everything drawn fits.
  function setView(name) {
    viewName = name;
    const v = VIEWS[name];
    const dir = new THREE.Vector3(...v.dir).normalize();
    const up = new THREE.Vector3(...v.up);
    const right = new THREE.Vector3().crossVectors(up, dir).normalize();
    const screenUp = new THREE.Vector3().crossVectors(dir, right);
    let w = 0, h = 0;
    const centre = bounds.getCenter(new THREE.Vector3());
    for (let i = 0; i < 8; i++) {
      const corner = new THREE.Vector3(i & 1 ? bounds.max.x : bounds.min.x,
        i & 2 ? bounds.max.y : bounds.min.y, i & 4 ? bounds.max.z : bounds.min.z).sub(centre);
      w = Math.max(w, Math.abs(corner.dot(right)) * 2);
      h = Math.max(h, Math.abs(corner.dot(screenUp)) * 2);
    }
    const width = view.clientWidth, height = view.clientHeight;
    const zoom = 0.88 * Math.min(width / Math.max(w, 1e-9), height / Math.max(h, 1e-9));
    // The perspective camera stands where it shows the target at the same scale.
    const distance = height / (2 * Math.tan((perspective.fov * Math.PI) / 360) * zoom);
    for (const c of [ortho, perspective]) {
      c.up.copy(up);
      c.position.copy(centre).addScaledVector(dir, distance);
      c.lookAt(centre);
    }
    ortho.zoom = zoom;
    makeControls(centre);
    resize();
  }

  function setPerspective(on) {
    const from = camera;
    camera = on ? perspective : ortho;
    if (from !== camera) {
      const target = controls.target.clone();
      const offset = from.position.clone().sub(target);
      const tanHalf = Math.tan((perspective.fov * Math.PI) / 360);
      // Keep the scale at the target: the perspective distance matches the zoom.
      if (on) offset.setLength(canvas.clientHeight / (2 * tanHalf * ortho.zoom));
      else ortho.zoom = canvas.clientHeight / (2 * tanHalf * offset.length());
      camera.up.copy(from.up);
      camera.position.copy(target).add(offset);
      makeControls(target);
    }
    resize();
  }

  function resize() {
    const width = view.clientWidth, height = view.clientHeight;
    renderer.setSize(width, height);
    ortho.left = -width / 2; ortho.right = width / 2;
    ortho.top = height / 2; ortho.bottom = -height / 2;
    ortho.near = -size * 100; ortho.far = size * 100;
    perspective.aspect = width / Math.max(height, 1);
    perspective.near = size / 1000; perspective.far = size * 100;
    ortho.updateProjectionMatrix();
    perspective.updateProjectionMatrix();
    render();
  }

  // The point under the cursor in the plane through the target, facing the camera.
  function pointUnder(clientX, clientY) {
    const rect = canvas.getBoundingClientRect();
    const ndc = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1,
      1 - ((clientY - rect.top) / rect.height) * 2);
    const ray = new THREE.Raycaster();
    ray.setFromCamera(ndc, camera);
    const normal = camera.getWorldDirection(new THREE.Vector3());
    const plane = new THREE.Plane().setFromNormalAndCoplanarPoint(normal, controls.target);
    return ray.ray.intersectPlane(plane, new THREE.Vector3()) || controls.target.clone();
  }

  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    const factor = Math.exp(-e.deltaY * (e.deltaMode ? 0.05 : 0.002));
    const before = pointUnder(e.clientX, e.clientY);
    if (camera === ortho) {
      ortho.zoom *= factor;
      ortho.updateProjectionMatrix();
      const shift = before.sub(pointUnder(e.clientX, e.clientY));
      camera.position.add(shift);
      controls.target.add(shift);
    } else {
      const share = 1 - 1 / factor;
      camera.position.lerp(before, share);
      controls.target.lerp(before, share);
    }
    controls.update();
  }, { passive: false });

  // ---- Drawing -------------------------------------------------------------
  const triad = makeTriad();
  function render() {
    if (!controls) return;
    renderer.setViewport(0, 0, canvas.clientWidth, canvas.clientHeight);
    renderer.clear();
    renderer.render(scene, camera);
    // The axis triad in the lower left corner, turned as the view is.
    triad.camera.position.set(0, 0, 0).addScaledVector(camera.getWorldDirection(new THREE.Vector3()), -3);
    triad.camera.quaternion.copy(camera.quaternion);
    renderer.setViewport(12, 12, 90, 90);
    renderer.clearDepth();
    renderer.render(triad.scene, triad.camera);
    showScale();
  }

  function showScale() {
    const tanHalf = Math.tan((perspective.fov * Math.PI) / 360);
    const perUnit = camera === ortho ? ortho.zoom
      : canvas.clientHeight / (2 * tanHalf * camera.position.distanceTo(controls.target));
    const length = niceLength(120 / perUnit);
    $('scale-bar').style.width = `${length * perUnit}px`;
    $('scale-text').textContent = fmt(length) + (camera === ortho ? '' : ' at the pivot');
  }

  function setColouring(byHeight) {
    const [low, high] = job.heightRange;
    if (byHeight) {
      const c = new THREE.Color();
      for (let j = 0; j < vertexCount; j++) {
        const t = Math.min(1, Math.max(0, (points[3 * j + 2] - low) / Math.max(high - low, 1e-12)));
        c.setHSL((1 - t) * 0.66, 0.85, 0.45);
        colours.setXYZ(j, c.r, c.g, c.b);
      }
      colours.needsUpdate = true;
    }
    for (const k of [FEED, ARC, CHORD]) {
      lines[k].material.vertexColors = byHeight ? THREE.VertexColors : THREE.NoColors;
      lines[k].material.color.set(byHeight ? 0xffffff : KINDS[k].colour);
      lines[k].material.needsUpdate = true;
    }
    showLegend(byHeight);
    render();
  }

  // ---- Stepping and picking -----------------------------------------------
  const slider = $('step');
  slider.max = String(moveCount);
  slider.value = String(moveCount);
  let shown = moveCount, current = -1, playing = null;

  // How many index pairs end at or before vertex `limit`.
  function pairsUpTo(index, limit) {
    let lo = 0, hi = index.count / 2;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (index.array[2 * mid + 1] <= limit) lo = mid + 1; else hi = mid;
    }
    return lo * 2;
  }
  const countBelow = (list, n) => {
    let lo = 0, hi = list.length;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (list[mid] < n) lo = mid + 1; else hi = mid; }
    return lo;
  };

  function showUpTo(n, mark) {
    shown = n;
    slider.value = String(n);
    const limit = n > 0 ? moveEnd[n - 1] : 0;
    for (const line of lines) line.geometry.setDrawRange(0, pairsUpTo(line.geometry.index, limit));
    markers.geometry.setDrawRange(0, countBelow(markerMoves, n));
    glyphs.geometry.setDrawRange(0, 2 * countBelow(glyphMoves, n));
    $('step-text').textContent = n > 0 ? `move ${n} of ${moveCount}, delivery ${delivery[n - 1]}` : `0 of ${moveCount}`;
    if (mark) select(n - 1);
    render();
  }

  function select(m) {
    current = m;
    if (m < 0 || kindOf(m) === SKIPPED) {
      highlight.visible = highlightEnd.visible = false;
      $('picked').textContent = m < 0 ? 'none' : describe(m);
      return;
    }
    const first = m > 0 ? moveEnd[m - 1] : 0;
    highlight.geometry.setAttribute('position',
      new THREE.BufferAttribute(points.slice(3 * first, 3 * moveEnd[m] + 3), 3));
    highlightEnd.geometry.setAttribute('position',
      new THREE.BufferAttribute(points.slice(3 * moveEnd[m], 3 * moveEnd[m] + 3), 3));
    highlight.visible = highlightEnd.visible = true;
    $('picked').innerHTML = describe(m);
    render();
  }

  function describe(m) {
    const code = CODES[(forms[m] >> 4) & 7];
    const kind = kindOf(m);
    const xyz = (array, i) => `${fmt(array[i])} ${fmt(array[i + 1])} ${fmt(array[i + 2])}`;
    const rows = [['move', `${m + 1} of ${moveCount}`], ['delivery', String(delivery[m])],
      ['code', `${code} ${kind === SKIPPED ? 'not drawn: NaN or infinite values' : KINDS[kind].label}`]];
    if (kind !== SKIPPED) rows.push(['target', xyz(points, 3 * moveEnd[m])]);
    if (axisAt[m] >= 0) rows.push(['tool axis', xyz(axes, 3 * axisAt[m])]);
    if (centreAt[m] >= 0) {
      rows.push(['direction', forms[m] & 128 ? '- (clockwise)' : '+ (counter-clockwise)']);
      rows.push(['third (centre)', xyz(centres, 3 * centreAt[m])]);
      if (kind === CHORD) rows.push(['', 'not equally far from start and end: drawn as a chord']);
    }
    for (const [label, markers] of [['last text', job.texts], ['last event', job.events], ['last cycle', job.cycles]]) {
      const value = lastMarker(markers, m);
      if (value !== null) rows.push([label, `"${value}"`]);
    }
    return '<table>' + rows.map(([a, b]) => `<tr><td>${escape(a)}</td><td>${escape(b)}</td></tr>`).join('') + '</table>';
  }

  // The drawn segment nearest the click, if within a few pixels; every move counts.
  function pick(clientX, clientY) {
    const rect = canvas.getBoundingClientRect();
    const x0 = clientX - rect.left, y0 = clientY - rect.top;
    const w = rect.width / 2, h = rect.height / 2;
    const e = new THREE.Matrix4().multiplyMatrices(camera.projectionMatrix, camera.matrixWorldInverse).elements;
    const limit = shown > 0 ? moveEnd[shown - 1] : 0;
    let best = -1, bestDistance = 36, px = 0, py = 0;
    for (let j = 0; j <= limit; j++) {
      const X = points[3 * j], Y = points[3 * j + 1], Z = points[3 * j + 2];
      const q = e[3] * X + e[7] * Y + e[11] * Z + e[15];
      const sx = w * (1 + (e[0] * X + e[4] * Y + e[8] * Z + e[12]) / q);
      const sy = h * (1 - (e[1] * X + e[5] * Y + e[9] * Z + e[13]) / q);
      if (j > 0 && q > 0) {
        const dx = sx - px, dy = sy - py, length2 = dx * dx + dy * dy;
        const t = length2 > 0 ? Math.min(1, Math.max(0, ((x0 - px) * dx + (y0 - py) * dy) / length2)) : 0;
        const ex = px + t * dx - x0, ey = py + t * dy - y0;
        if (ex * ex + ey * ey < bestDistance) { bestDistance = ex * ex + ey * ey; best = j; }
      }
      px = sx; py = sy;
    }
    if (best > 0) select(moveOfVertex(best));
  }

  let downAt = null;
  canvas.addEventListener('mousedown', (e) => { downAt = [e.clientX, e.clientY]; });
  canvas.addEventListener('click', (e) => {
    if (downAt && Math.hypot(e.clientX - downAt[0], e.clientY - downAt[1]) > 4) return;
    pick(e.clientX, e.clientY);
  });

  function play() {
    if (playing) { cancelAnimationFrame(playing); playing = null; $('play').textContent = 'Play'; return; }
    if (shown >= moveCount) shown = 0;
    const step = Math.max(1, Math.round(moveCount / 600));
    $('play').textContent = 'Pause';
    const tick = () => {
      showUpTo(Math.min(moveCount, shown + step), true);
      playing = shown < moveCount ? requestAnimationFrame(tick) : null;
      if (!playing) $('play').textContent = 'Play';
    };
    tick();
  }

  slider.addEventListener('input', () => showUpTo(Number(slider.value), true));
  $('play').addEventListener('click', play);
  $('fit').addEventListener('click', () => setView(viewName));
  for (const button of document.querySelectorAll('[data-view]'))
    button.addEventListener('click', () => setView(button.dataset.view));
  $('perspective').addEventListener('change', (e) => setPerspective(e.target.checked));
  $('by-height').addEventListener('change', (e) => setColouring(e.target.checked));
  $('tool-axis').addEventListener('change', (e) => { glyphs.visible = e.target.checked; render(); });
  const toggle = (id) => { $(id).checked = !$(id).checked; $(id).dispatchEvent(new Event('change')); };
  const KEYS = {
    1: () => setView('top'), 2: () => setView('front'), 3: () => setView('side'), 4: () => setView('iso'),
    f: () => setView(viewName), p: () => toggle('perspective'), c: () => toggle('by-height'),
    a: () => toggle('tool-axis'), ' ': play,
    ArrowLeft: () => showUpTo(Math.max(0, shown - 1), true),
    ArrowRight: () => showUpTo(Math.min(moveCount, shown + 1), true),
  };
  window.addEventListener('keydown', (e) => {
    if (e.target.tagName === 'INPUT' && e.target.type === 'range' && e.key.startsWith('Arrow')) return;
    const action = KEYS[e.key];
    if (action && !e.ctrlKey && !e.metaKey && !e.altKey) { e.preventDefault(); action(); }
  });
  window.addEventListener('resize', resize);

  // For scripts driving the page (the tests): where a move's middle point is on screen.
  window.pofViewer = {
    screenPointOf(m) {
      const first = m > 0 ? moveEnd[m - 1] : 0, j = Math.round((first + moveEnd[m]) / 2);
      const p = new THREE.Vector3(points[3 * j], points[3 * j + 1], points[3 * j + 2]).project(camera);
      const rect = canvas.getBoundingClientRect();
      return [rect.left + ((p.x + 1) / 2) * rect.width, rect.top + ((1 - p.y) / 2) * rect.height];
    },
  };

  setView('iso');
  showUpTo(moveCount, false);
  finish('ready', renderer);

  // ---- Helpers -------------------------------------------------------------
  function finish(state, drawnBy) {
    // ms: from the start of loading to the first picture, for the benchmark.
    if (drawnBy) drawnBy.getContext().finish();
    Object.assign(ready.dataset, drawn, { state, error: errors.join('; '), ms: Math.round(performance.now()) });
  }

  function pointGeometry(list) {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(list), 3));
    return geometry;
  }

  function niceLength(span) {
    if (!(span > 0) || !isFinite(span)) return 1;
    const power = Math.pow(10, Math.floor(Math.log10(span)));
    for (const step of [5, 2, 1]) if (step * power <= span) return step * power;
    return power;
  }

  function makeTriad() {
    const triadScene = new THREE.Scene();
    const label = (name, colour, at) => {
      const c = document.createElement('canvas');
      c.width = c.height = 32;
      const g = c.getContext('2d');
      g.font = 'bold 24px sans-serif';
      g.fillStyle = colour;
      g.textAlign = 'center';
      g.fillText(name, 16, 24);
      const sprite = new THREE.Sprite(new THREE.SpriteMaterial({ map: new THREE.CanvasTexture(c) }));
      sprite.position.copy(at).multiplyScalar(1.35);
      sprite.scale.set(0.5, 0.5, 1);
      return sprite;
    };
    [['x', '#d62728', [1, 0, 0]], ['y', '#2ca02c', [0, 1, 0]], ['z', '#1f77b4', [0, 0, 1]]].forEach(([n, c, d]) => {
      const dir = new THREE.Vector3(...d);
      triadScene.add(new THREE.ArrowHelper(dir, new THREE.Vector3(), 1, c, 0.25, 0.12), label(n, c, dir));
    });
    const triadCamera = new THREE.OrthographicCamera(-1.7, 1.7, 1.7, -1.7, 0.1, 10);
    return { scene: triadScene, camera: triadCamera };
  }

  function showLegend(byHeight) {
    const swatch = (colour, dashed) =>
      `<span class="swatch" style="border-top: 2px ${dashed ? 'dashed' : 'solid'} #${colour.toString(16).padStart(6, '0')}"></span>`;
    let html = KINDS.map((k, i) => `${swatch(k.colour, i === RAPID)}${k.label}`).join('<br>');
    html += `<br>${swatch(AXIS_COLOUR)}tool axis<br>x red, y green, z blue`;
    if (byHeight) html += `<br>height: blue ${fmt(job.heightRange[0])} to red ${fmt(job.heightRange[1])}` +
      ' (feed moves, 2nd to 98th percentile; rapids stay grey)';
    $('legend').innerHTML = html;
  }

  function showSummary(s) {
    const rows = [
      ['deliveries', s.deliveries],
      ...s.byKeyAndCode.map((d) => [`\u2003key ${d.key}, code ${d.code === null ? 'none' : d.code}`, d.count]),
      ['moves', `${s.moves.total}: rapid ${s.moves.rapid}, feed ${s.moves.feed}, arc ${s.moves.arc} ` +
        `(circular ${s.moves.circular}, as chords ${s.moves.chord})`],
      ['with tool axis', s.moves.withToolAxis],
      ['not finite (skipped)', s.moves.nonFinite],
      ['extent', s.extent ? ['x', 'y', 'z'].map((a) => `${a} ${s.extent[a][0]} .. ${s.extent[a][1]}`).join(', ') : 'none'],
      ['path length', `rapid ${s.length.rapid.toFixed(3)}, feed ${s.length.feed.toFixed(3)}`],
      ['tool records', `${s.toolRecords}, methods ${s.methods.join(', ') || 'none'}`],
      ['texts', s.texts],
      ['events', Object.entries(s.events).map(([n, c]) => `${n} ${c}`).join(', ') || 'none'],
      ['workplanes', `${s.workplanes.length}: ${s.workplanes.join(', ')}`],
      ['cycles', s.cycles.join(', ') || 'none'],
      ['result', s.result],
    ];
    $('summary').innerHTML = '<table>' +
      rows.map(([a, b]) => `<tr><td>${escape(String(a))}</td><td>${escape(String(b))}</td></tr>`).join('') + '</table>';
    document.title = `pofhost toolpath: ${job.title}`;
  }
})();
