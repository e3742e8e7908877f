// An independent SOAP implementation serving External_ (RPC/encoded) on 127.0.0.1, for the interop test.
// Answers xmlRequest with a kwp reply that echoes the document it received; prints its port on stdout.
const http = require('http');
const fs = require('fs');
const path = require('path');
const soap = require('soap');

const wsdl = fs.readFileSync(path.join(__dirname, 'external.wsdl'), 'utf8');
const service = {
  ExternalService: {
    'external.cfc': {
      xmlRequest(args) {
        // The package hands over an element that carries attributes (xsi:type) as {attributes, $value}.
        const xml = args.xml;
        const received = typeof xml === 'object' && xml !== null ? String(xml['$value'] ?? '') : String(xml ?? '');
        return { xmlRequestReturn: '<kwp><name>Echo</name><status>200</status><received>' +
            received.replace(/&/g, '&amp;').replace(/</g, '&lt;') + '</received></kwp>' };
      },
    },
  },
};
const server = http.createServer((req, res) => { res.statusCode = 404; res.end(); });
server.listen(0, '127.0.0.1', () => {
  soap.listen(server, '/_external/external.cfc', service, wsdl);
  process.stdout.write(server.address().port + '\n');
});
process.on('SIGTERM', () => process.exit(0));
