// The service's models: public classes with public read-write properties, named exactly as the
// bridge reads them.

using System.Collections.Generic;

namespace KobMachineControl.ApiModels
{
    public class VendorInfo
    {
        public string Id { get; set; }
        public string Name { get; set; }
        public string Company { get; set; }
        public bool ProductionReady { get; set; }
    }

    public class System
    {
        public VendorInfo vendorinfo { get; set; }
        public string Category { get; set; }
    }

    public class Systems
    {
        public List<System> systems { get; set; }
    }

    public class Connection
    {
        public string Id { get; set; }
        public string Name { get; set; }
        public string Company { get; set; }
        public string Status { get; set; }
        public string Category { get; set; }
    }

    public class LocalizedLabel
    {
        public string Label { get; set; }
        public string Locale { get; set; }
    }

    public class UnitTypes
    {
        public string UnitType { get; set; }
        public List<LocalizedLabel> LocalizedLabels { get; set; }
    }

    public class Layer
    {
        public int Id { get; set; }
        public string Name { get; set; }
    }

    public class Definition
    {
        public string ModelType { get; set; }
        public string LayersType { get; set; }
        public string SurfacesOfLayers { get; set; }
        public List<string> Equipments { get; set; }
        public List<Layer> Layers { get; set; }
    }

    public class Domain
    {
        public string Id { get; set; }
        public string Name { get; set; }
    }

    public class ExportRule
    {
        public string id { get; set; }
        public string Name { get; set; }
        public string Description { get; set; }
        public string Type { get; set; }
        public Domain domain { get; set; }
        public Definition definition { get; set; }
    }
}
