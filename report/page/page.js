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

    function draw(chart) {
        var several = chart.datasets.length > 1;
        var axis = { stacked: !!chart.stacked, beginAtZero: true, ticks: { autoSkip: true, precision: 0 } };
        new Chart(document.getElementById(chart.id), {
            type: 'bar',
            data: {
                labels: chart.labels,
                datasets: chart.datasets.map(function (set) {
                    return { label: set.label, data: set.data, backgroundColor: set.color, borderWidth: 0 };
                })
            },
            options: {
                indexAxis: chart.horizontal ? 'y' : 'x',
                animation: false,
                responsive: true,
                maintainAspectRatio: false,
                plugins: { legend: { display: several, position: 'bottom' } },
                scales: { x: axis, y: Object.assign({}, axis) }
            }
        });
        return painted(document.getElementById(chart.id));
    }

    var charts = JSON.parse(document.getElementById('zw-data').textContent).charts;
    var drawn = 0;
    charts.forEach(function (chart) {
        if (draw(chart))
            drawn += 1;
    });
    root.setAttribute('data-zw-charts', drawn + '/' + charts.length);
    // From the start of the page's loading.
    root.setAttribute('data-zw-ms', String(Math.round(performance.now())));
})();
