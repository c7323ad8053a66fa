// Draws the figures the program put into the page, nothing else: no
// numbers are computed here. The outcome is left on the root element
// (data-zw-charts: drawn/all, data-zw-ms) for whoever checks the page.
(function () {
    'use strict';
    var root = document.documentElement;
    window.addEventListener('error', function (event) {
        root.setAttribute('data-zw-error', String(event.message));
    });

    function painted(canvas) {
        var pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        for (var i = 3; i < pixels.length; i += 4)
            if (pixels[i] !== 0)
                return true;
        return false;
    }

    function draw(spec) {
        var several = spec.datasets.length > 1;
        var axis = { stacked: !!spec.stacked, beginAtZero: true, ticks: { autoSkip: true, precision: 0 } };
        new Chart(document.getElementById(spec.id), {
            type: 'bar',
            data: {
                labels: spec.labels,
                datasets: spec.datasets.map(function (set) {
                    return { label: set.label, data: set.data, backgroundColor: set.color, borderWidth: 0 };
                })
            },
            options: {
                indexAxis: spec.horizontal ? 'y' : 'x',
                animation: false,
                responsive: true,
                maintainAspectRatio: false,
                plugins: { legend: { display: several, position: 'bottom' } },
                scales: { x: axis, y: Object.assign({}, axis) }
            }
        });
        return painted(document.getElementById(spec.id));
    }

    var charts = JSON.parse(document.getElementById('zw-data').textContent).charts;
    var drawn = 0;
    charts.forEach(function (spec) {
        if (draw(spec))
            drawn += 1;
    });
    root.setAttribute('data-zw-charts', drawn + '/' + charts.length);
    // From the start of the page's loading.
    root.setAttribute('data-zw-ms', String(Math.round(performance.now())));
})();
